// SPDX-License-Identifier: GPL-3.0-or-later
// Socket error numbers as the public list of Windows socket errors numbers them, on every platform.
#pragma once

#include <QAbstractSocket>

namespace wren {

/// 10061 refused, 10060 timed out, 11001 host not found, 10054 reset, ...
int WinsockErrorNumber(QAbstractSocket::SocketError error);

/// The public list of socket error numbers the error message points to.
inline constexpr char SocketErrorListAddress[] = "http://www.sockets.com/err_lst1.htm#ErrorsInNumericOrder";

} // namespace wren
