// SPDX-License-Identifier: GPL-3.0-or-later
// TNMUDP: the IPv4 datagram socket of the status queries, driven by the event loop.
#pragma once

#include "net/EventLoop.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

// Socket-level failures of the datagram socket.
class UDPSockError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TNMUDP {
public:
    // Creates the IPv4 datagram socket (not yet bound); throws UDPSockError when it cannot.
    explicit TNMUDP(TEventLoop& loop);
    ~TNMUDP();
    TNMUDP(const TNMUDP&) = delete;
    TNMUDP& operator=(const TNMUDP&) = delete;

    // Destination of the next datagram: dotted IPv4 text or a host name, and a port.
    std::string RemoteHost;
    int RemotePort = 0;
    // Threshold for status texts; with 1 none of the component's texts is reported.
    int ReportLevel = 1;

    int LocalPort() const { return localPort_; }
    // Closes the socket, opens a new one and binds it to 0.0.0.0:port at once (0 picks an
    // ephemeral port, readable back through LocalPort). A failed bind raises UDPSockError so
    // that the program can say why, but the socket stays watched: LocalPort is 0 until the
    // first send binds it to a free port, and replies to that port arrive as usual.
    void SetLocalPort(int port);

    // Sends the whole of stream as one datagram to RemoteHost:RemotePort.
    // Raises "Invalid stream" (std::runtime_error) for an empty stream, UDPSockError for
    // "Null Remote Address" and "Host Lookup Canceled", and for a payload over 2048 bytes
    // (a peer with our buffer could not take it). Send failures are not reported.
    // A host name is looked up while the loop is pumped, so other handlers run in here.
    void SendDatagram(const std::string& stream);
    // The bytes of the last receipt; raises when that receipt failed (byte count -1).
    // Only meaningful inside OnDataReceived.
    void ReadDatagram(std::string& stream) const;

    const std::string& LastStatus() const { return status_; }
    // Bytes the kernel grants the socket for datagrams waiting to be read; 0 when unknown.
    int ReceiveBufferSize() const;
    // Whether a datagram has arrived that the loop has not yet handed to OnDataReceived.
    bool DatagramWaiting() const;

    // Turns a host name into an IPv4 address (network byte order); false when it cannot.
    // Runs on a helper thread and may outlive the component (an abandoned lookup finishes on
    // its own), so it must touch nothing but what it owns. Unset: the system resolver.
    // Tests set it so that a failing lookup never sends a query off the machine.
    using TNameResolver = std::function<bool(const std::string& host, std::uint32_t& address)>;
    TNameResolver NameResolver;

    // One call per datagram, at most 64 per readiness report. numberBytes is -1 for a failed
    // receipt and for a datagram longer than the 2048-byte buffer (it is not passed on cut).
    std::function<void(TNMUDP& sender, int numberBytes, const std::string& fromIP, int port)> OnDataReceived;
    std::function<void(TNMUDP& sender)> OnDataSend;
    std::function<void(TNMUDP& sender, const std::string& status)> OnStatus;
    std::function<void(bool& handled)> OnInvalidHost;
    std::function<void(bool& handled, std::string& stream)> OnStreamInvalid;
    std::function<void(bool& handled, const char* buff, int length)> OnBufferInvalid;

private:
    struct TImpl;
    struct TLookup;
    std::uint32_t Resolve();
    bool LookUp(const std::string& host, std::uint32_t& address);
    void ReceiveDatagrams();
    void OpenSocket();
    void ReadLocalPort();
    void CloseSocket();
    [[noreturn]] void RaiseSocketError(int code);
    void Report(const std::string& status, int level);

    std::unique_ptr<TImpl> impl_;
    int localPort_ = 0;
    std::string status_;
};
