// SPDX-License-Identifier: GPL-3.0-or-later
// Blocking HTTP/1.0 requests with time limits: the portal calls, web slash commands, media and list downloads.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>

namespace wren {

/// How a request identifies itself and how long it may take.
struct HttpOptions {
    QByteArray UserAgent;
    QByteArray Accept = "text/html, */*";
    /// Seconds to set up the connection, and for the whole request.
    long ConnectTimeout = 10;
    long TotalTimeout = 30;
    /// Largest body taken; a bigger one fails the request.
    qint64 MaxBody = qint64(64) * 1024 * 1024;
    /// When set, a request ends as soon as it turns true (the program is closing).
    const std::atomic<bool> *Cancel = nullptr;
};

struct HttpResult {
    bool Ok = false;
    int Status = 0; ///< the HTTP status, 0 when no answer came
    QByteArray Body;
    QString Error; ///< why it failed, in words for the user
};

/// One request at a time, blocking the caller until it ends or its time limit passes. A status of 400 or
/// above is a failure, as is any transport error.
class HttpClient
{
public:
    explicit HttpClient(HttpOptions options = {});

    HttpResult Get(const QByteArray &url) const;
    /// POSTs @p formLines as an application/x-www-form-urlencoded body: the lines joined by "&", each
    /// line's value (after its first "=") percent-encoded.
    HttpResult Post(const QByteArray &url, const QList<QByteArray> &formLines) const;

    /// The body Post sends for @p formLines.
    static QByteArray FormBody(const QList<QByteArray> &formLines);

    const HttpOptions &Options() const { return m_options; }

private:
    HttpResult Perform(const QByteArray &url, const QByteArray *postBody) const;

    HttpOptions m_options;
};

} // namespace wren
