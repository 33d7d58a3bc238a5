// SPDX-License-Identifier: GPL-3.0-or-later
// Socket error numbers as the public list of Windows socket errors numbers them, on every platform.
#include "session/socket_errors.h"

namespace wren {

int WinsockErrorNumber(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError: return 10061; // WSAECONNREFUSED
    case QAbstractSocket::RemoteHostClosedError: return 10054; // WSAECONNRESET
    case QAbstractSocket::HostNotFoundError: return 11001; // WSAHOST_NOT_FOUND
    case QAbstractSocket::SocketAccessError: return 10013; // WSAEACCES
    case QAbstractSocket::SocketResourceError: return 10055; // WSAENOBUFS
    case QAbstractSocket::SocketTimeoutError: return 10060; // WSAETIMEDOUT
    case QAbstractSocket::DatagramTooLargeError: return 10040; // WSAEMSGSIZE
    case QAbstractSocket::NetworkError: return 10051; // WSAENETUNREACH
    case QAbstractSocket::AddressInUseError: return 10048; // WSAEADDRINUSE
    case QAbstractSocket::SocketAddressNotAvailableError: return 10049; // WSAEADDRNOTAVAIL
    case QAbstractSocket::UnsupportedSocketOperationError: return 10045; // WSAEOPNOTSUPP
    case QAbstractSocket::UnfinishedSocketOperationError: return 10036; // WSAEINPROGRESS
    case QAbstractSocket::TemporaryError: return 10035; // WSAEWOULDBLOCK
    case QAbstractSocket::OperationError: return 10022; // WSAEINVAL
    default: return 10050; // WSAENETDOWN: the nearest for errors with no number of their own
    }
}

} // namespace wren
