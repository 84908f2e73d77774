// SPDX-License-Identifier: GPL-3.0-or-later
// TTestCertificates: runs openssl req / ca with a configuration written next to the files.
#include "chat/TestCertificates.h"

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace {

const char* const kNewKey = "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";

}  // namespace

void TTestCertificates::Run(const std::string& command) const {
    // Only our own temporary paths reach the shell.
    const std::string full = "cd '" + dir_.Path().string() + "' && " + command + " > openssl.log 2>&1";
    if (std::system(full.c_str()) != 0) {
        std::ifstream in(dir_.Path() / "openssl.log");
        std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        throw std::runtime_error("openssl failed (apt-get install openssl): " + command + "\n" + log);
    }
}

TTestCertificates::TTestCertificates() {
    const std::string d = dir_.Path().string();
    {
        std::ofstream cnf(dir_.Path() / "ca.cnf");
        cnf << "[ca]\ndefault_ca = tca\n[tca]\ndir = " << d << "\ndatabase = " << d << "/index.txt\n"
            << "new_certs_dir = " << d << "\nserial = " << d << "/serial\ndefault_md = sha256\n"
            << "policy = anything\nunique_subject = no\ncopy_extensions = none\n"
            << "[anything]\ncommonName = supplied\n"
            << "[local]\nbasicConstraints = CA:FALSE\nsubjectAltName = DNS:localhost,IP:127.0.0.1\n"
            << "[other]\nbasicConstraints = CA:FALSE\nsubjectAltName = DNS:other.example\n";
        std::ofstream(dir_.Path() / "index.txt");
        std::ofstream(dir_.Path() / "serial") << "1000\n";
    }
    Run(std::string("openssl req -x509 ") + kNewKey + " -keyout ca.key -out ca.pem -days 30 -subj '/CN=Test CA'");
    trusted_ = Issue("trusted", "local", "-days 30");
    expired_ = Issue("expired", "local", "-startdate 20200101000000Z -enddate 20200201000000Z");
    otherName_ = Issue("other", "other", "-days 30");
    renewed_ = Issue("renewed", "local", "-days 30");
    Run(std::string("openssl req -x509 ") + kNewKey +
        " -keyout self.key -out self.pem -days 30 -subj /CN=localhost"
        " -addext subjectAltName=DNS:localhost,IP:127.0.0.1");
    selfSigned_ = {d + "/self.pem", d + "/self.key"};
    // The IRC server runs as nobody when started by root.
    ::chmod(d.c_str(), 0755);
    for (const auto* p : {&trusted_, &expired_, &otherName_, &renewed_, &selfSigned_}) ::chmod(p->Key.c_str(), 0644);
}

TTestCertificates::TPair TTestCertificates::Issue(const std::string& name, const std::string& extensions,
                                                 const std::string& dates) {
    Run(std::string("openssl req ") + kNewKey + " -keyout " + name + ".key -out " + name + ".csr -subj /CN=" +
        (extensions == "other" ? "other.example" : "localhost"));
    Run("openssl ca -batch -notext -config ca.cnf -cert ca.pem -keyfile ca.key -extensions " + extensions + " " +
        dates + " -in " + name + ".csr -out " + name + ".pem");
    const std::string d = dir_.Path().string();
    return {d + "/" + name + ".pem", d + "/" + name + ".key"};
}

std::string TTestCertificates::CaFile() const { return (dir_.Path() / "ca.pem").string(); }

std::string TTestCertificates::Fingerprint(const std::string& certFile) {
    const std::string command = "openssl x509 -noout -fingerprint -sha256 -in '" + certFile + "'";
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) throw std::runtime_error("cannot run openssl");
    char line[512] = {};
    const bool got = std::fgets(line, sizeof line, p) != nullptr;
    ::pclose(p);
    std::string text = got ? line : "";
    const auto eq = text.find('=');
    if (eq == std::string::npos) throw std::runtime_error("no fingerprint from openssl for " + certFile);
    text = text.substr(eq + 1);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}
