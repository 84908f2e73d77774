// SPDX-License-Identifier: GPL-3.0-or-later
// TNMUDP: IPv4 datagram socket, with name lookups on a helper thread.
#include "net/NMUDP.h"

#include "net/NMConst.h"
#include "net/WSocketApi.h"
#include "net/WSocketErrors.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <system_error>
#include <thread>
#include <vector>

using namespace nmconst;

namespace {

bool SystemResolve(const std::string& host, std::uint32_t& address) {
    if (host.empty() || host.find('\0') != std::string::npos) return false;
    return wsapi::LookupHost(host, address) == 0;
}

}  // namespace

// One name lookup, shared with its helper thread. The thread may outlive the component that
// started it, so it owns its wake-up pair and closes it when the last holder lets go.
struct TNMUDP::TLookup {
    int readFd = -1;
    int writeFd = -1;
    bool succeeded = false;        // written by the thread before finished is released
    std::uint32_t address = 0;
    std::atomic<bool> finished{false};
    // Set on the loop's thread when the wake-up is handled: like the completion message of an
    // asynchronous lookup, the result is only seen through the loop, so the wait always runs
    // other handlers at least once.
    bool done = false;

    ~TLookup() {
        if (readFd >= 0) wsapi::CloseDescriptor(readFd);
        if (writeFd >= 0) wsapi::CloseDescriptor(writeFd);
    }
};

struct TNMUDP::TImpl {
    explicit TImpl(TEventLoop& l) : loop(l) {}

    TEventLoop& loop;
    int fd = -1;
    // Tells a rebound socket from the one a receive batch started on, even when the new
    // socket got the same descriptor number.
    std::uint64_t generation = 0;
    bool watched = false;
    bool bound = false;  // to a port of our own, by SetLocalPort or by the first send
    std::array<char, kReceiveBufferSize> buffer{};
    int lastCount = 0;
    std::vector<std::shared_ptr<TLookup>> lookups;  // pending, with their wake-ups watched
    // Expires with the component: a wait that pumped the loop checks it before touching us.
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);
};

TNMUDP::TNMUDP(TEventLoop& loop) : impl_(std::make_unique<TImpl>(loop)) {
    Report(kStatusInitializing, kLevelInitializing);
    // The Windows original sets SO_DONTLINGER here; linger means nothing for a datagram
    // socket and off is already the POSIX default, so there is nothing to set.
    OpenSocket();
}

TNMUDP::~TNMUDP() {
    for (const auto& lookup : impl_->lookups) impl_->loop.Unwatch(lookup->readFd);
    impl_->lookups.clear();
    CloseSocket();
}

void TNMUDP::OpenSocket() {
    int err = 0;
    const int fd = wsapi::CreateSocket(true, 0, err);
    if (fd < 0) RaiseSocketError(err);
    // Best effort: the kernel caps the size, and the senders pace themselves to what it grants.
    wsapi::RequestReceiveBuffer(fd, kRequestedReceiveBuffer);
    impl_->fd = fd;
    ++impl_->generation;
}

void TNMUDP::CloseSocket() {
    if (impl_->fd < 0) return;
    if (impl_->watched) impl_->loop.Unwatch(impl_->fd);
    impl_->watched = false;
    wsapi::CloseDescriptor(impl_->fd);
    impl_->fd = -1;
}

void TNMUDP::SetLocalPort(int port) {
    if (port < 0 || port > 65535)
        throw UDPSockError("Cannot bind UDP port " + std::to_string(port) + ": port number out of range");
    CloseSocket();
    OpenSocket();
    localPort_ = port;

    std::string reason;
    const bool bound = wsapi::BindAnyAddress(impl_->fd, static_cast<std::uint16_t>(port), reason);
    // Watched even when the port is taken (a second copy running): the first send then binds
    // the socket to a free port, and the replies to it must still arrive.
    impl_->loop.Watch(impl_->fd, TEventLoop::Readable, [this](unsigned) { ReceiveDatagrams(); });
    impl_->watched = true;
    impl_->bound = bound;
    if (!bound) {
        localPort_ = 0;
        Report(kStatusCheckingError, kLevelCheckingError);
        const std::string text = "Cannot bind UDP port " + std::to_string(port) + ": " +
                                 reason;
        Report(kStatusErrorText + text, kLevelErrorText);
        throw UDPSockError(text);
    }
    if (port == 0) ReadLocalPort();
}

void TNMUDP::ReadLocalPort() {
    if (const int port = wsapi::LocalPort(impl_->fd); port != 0) localPort_ = port;
}

void TNMUDP::SendDatagram(const std::string& stream) {
    // A copy, because handlers run during a name lookup and may change the caller's string.
    std::string payload = stream;
    if (payload.empty()) {
        bool handled = false;
        if (OnStreamInvalid) OnStreamInvalid(handled, payload);
        if (!handled || payload.empty()) throw std::runtime_error(kInvalidStream);
    }
    if (payload.size() > kSendBufferSize)
        throw UDPSockError("Datagram too large: " + std::to_string(payload.size()) + " bytes, at most " +
                           std::to_string(kSendBufferSize));

    const std::uint32_t address = Resolve();
    if (address == 0) throw UDPSockError(kNullRemoteAddress);
    Report(kStatusSending, kLevelSending);

    // Like a failed send, an impossible port is not reported; truncating it would hit a stranger.
    if (RemotePort >= 0 && RemotePort <= 65535 && impl_->fd >= 0) {
        int err = 0;
        (void)wsapi::SendTo(impl_->fd, payload.data(), payload.size(), address,
                            wsapi::HostToNet16(static_cast<std::uint16_t>(RemotePort)), err);
        // The first send of a socket whose bind failed has bound it to a free port.
        if (!impl_->bound) {
            ReadLocalPort();
            impl_->bound = localPort_ != 0;
        }
    }
    if (OnDataSend) OnDataSend(*this);
}

std::uint32_t TNMUDP::Resolve() {
    // inet_addr's reading, as the TCP connection has it: "127.1", "0x7f.0.0.1" and
    // "10.0.0.01" (octal) are addresses, never names to look up.
    if (std::uint32_t parsed = 0; wsapi::ParseDottedAddress(RemoteHost, parsed)) return parsed;

    std::uint32_t address = 0;
    if (LookUp(RemoteHost, address)) return address;
    if (OnInvalidHost) {
        bool handled = false;
        OnInvalidHost(handled);
    }
    // RemoteHost is read again: the handler may have corrected it.
    if (LookUp(RemoteHost, address)) return address;
    throw UDPSockError(kHostLookupCanceled);
}

bool TNMUDP::LookUp(const std::string& host, std::uint32_t& address) {
    TEventLoop& loop = impl_->loop;
    const std::weak_ptr<bool> alive = impl_->alive;

    auto lookup = std::make_shared<TLookup>();
    if (!wsapi::OpenWakePair(lookup->readFd, lookup->writeFd)) return false;
    loop.Watch(lookup->readFd, TEventLoop::Readable, [lookup](unsigned) {
        wsapi::DrainWake(lookup->readFd);
        if (lookup->finished.load(std::memory_order_acquire)) lookup->done = true;
    });
    impl_->lookups.push_back(lookup);

    // Unregisters the wake-up pair on every way out, unless the component is gone (its destructor
    // has done it then).
    struct TUnwatch {
        const std::weak_ptr<bool>& alive;
        TImpl* impl;
        const std::shared_ptr<TLookup>& lookup;
        ~TUnwatch() {
            if (alive.expired()) return;
            impl->loop.Unwatch(lookup->readFd);
            auto& v = impl->lookups;
            v.erase(std::remove(v.begin(), v.end(), lookup), v.end());
        }
    } unwatch{alive, impl_.get(), lookup};

    TNameResolver resolve = NameResolver ? NameResolver : TNameResolver(SystemResolve);
    try {
        std::thread([lookup, resolve, host] {
            std::uint32_t found = 0;
            bool ok = false;
            try {
                ok = resolve(host, found);
            } catch (...) {
                ok = false;
            }
            lookup->address = found;
            lookup->succeeded = ok;
            lookup->finished.store(true, std::memory_order_release);
            wsapi::Wake(lookup->writeFd);
        }).detach();
    } catch (const std::system_error&) {
        return false;  // no thread, no lookup: counts as a failed one
    }

    // Other handlers run here, as the caller expects; any of them may end the program or
    // destroy this component, and then the lookup is abandoned.
    while (!lookup->done) {
        if (loop.Terminated()) throw UDPSockError(kHostLookupCanceled);
        loop.ProcessMessagesWaiting(std::chrono::milliseconds(kLookupPumpMs));
        if (alive.expired()) throw UDPSockError(kHostLookupCanceled);
    }
    if (!lookup->succeeded) return false;
    address = lookup->address;
    return true;
}

void TNMUDP::ReceiveDatagrams() {
    const std::weak_ptr<bool> alive = impl_->alive;
    const std::uint64_t generation = impl_->generation;
    auto& buffer = impl_->buffer;
    for (int i = 0; i < kMaxDatagramsPerTurn; ++i) {
        std::uint32_t fromAddr = 0;
        std::uint16_t fromPort = 0;
        int err = 0;
        const long n = wsapi::ReceiveFrom(impl_->fd, buffer.data(), buffer.size(), fromAddr, fromPort, err);
        if (n < 0 && wsapi::IsRetryLater(err)) return;
        const bool failed = n < 0;
        if (failed) fromAddr = 0, fromPort = 0;
        // A cut datagram is not what the peer sent: it is reported as a failed receipt, as
        // Winsock does (WSAEMSGSIZE), instead of being parsed as if it were whole.
        impl_->lastCount = (failed || static_cast<std::size_t>(n) > buffer.size()) ? -1 : static_cast<int>(n);

        if (OnDataReceived) {
            const auto* b = reinterpret_cast<const unsigned char*>(&fromAddr);
            char ip[20];
            std::snprintf(ip, sizeof ip, "%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
            OnDataReceived(*this, impl_->lastCount, ip, wsapi::NetToHost16(fromPort));
            // The handler may have rebound the socket (or, against the rules, destroyed us).
            if (alive.expired() || impl_->generation != generation) return;
        }
        // A lasting socket error would otherwise be reported a whole batch at a time.
        if (failed) return;
    }
}

int TNMUDP::ReceiveBufferSize() const {
    return impl_->fd < 0 ? 0 : wsapi::ReceiveBufferSize(impl_->fd);
}

bool TNMUDP::DatagramWaiting() const {
    return impl_->fd >= 0 && wsapi::DatagramWaiting(impl_->fd);
}

void TNMUDP::ReadDatagram(std::string& stream) const {
    if (impl_->lastCount < 0) throw UDPSockError(kStreamWriteError);
    stream.assign(impl_->buffer.data(), static_cast<std::size_t>(impl_->lastCount));
}

void TNMUDP::RaiseSocketError(int code) {
    Report(kStatusCheckingError, kLevelCheckingError);
    const std::string text = code == 0 ? std::string() : kUnknownError + std::to_string(code);
    Report(kStatusErrorText + text, kLevelErrorText);
    throw UDPSockError(text);
}

void TNMUDP::Report(const std::string& status, int level) {
    if (ReportLevel < level) return;
    status_ = status;
    if (OnStatus) OnStatus(*this, status);
}
