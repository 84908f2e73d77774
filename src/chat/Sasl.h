// SPDX-License-Identifier: GPL-3.0-or-later
// SASL PLAIN: the payload and the AUTHENTICATE lines that carry it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

std::string Base64(std::string_view bytes);

// base64 of "account NUL account NUL password"; empty when either holds a NUL, which would
// move the fields.
std::string SaslPlainPayload(std::string_view account, std::string_view password);

// The lines that send payload: 400 bytes each, and "AUTHENTICATE +" after a last chunk of
// exactly 400 (or for an empty payload), so the server knows it has all of it.
std::vector<std::string> AuthenticateLines(std::string_view payload);
