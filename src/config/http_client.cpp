// SPDX-License-Identifier: GPL-3.0-or-later
// Blocking HTTP/1.0 requests with time limits: the portal calls, web slash commands, media and list downloads.
#include "config/http_client.h"

#include "config/logging.h"

#include <QUrl>

#include <curl/curl.h>
#include <memory>

namespace wren {

namespace {

struct Receiver {
    QByteArray *Body;
    qint64 Max;
    bool TooBig = false;
};

size_t Receive(char *data, size_t size, size_t count, void *context)
{
    auto *receiver = static_cast<Receiver *>(context);
    const size_t bytes = size * count;
    if (receiver->Body->size() + static_cast<qint64>(bytes) > receiver->Max) {
        receiver->TooBig = true;
        return 0; // ends the transfer
    }
    receiver->Body->append(data, static_cast<qsizetype>(bytes));
    return bytes;
}

// Asked by curl during a transfer: a non-zero answer ends it.
int OnProgress(void *cancel, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<const std::atomic<bool> *>(cancel)->load() ? 1 : 0;
}

// curl_global_init is not thread-safe and must run once, before any handle.
void InitCurlOnce()
{
    static const bool done = [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        return true;
    }();
    (void)done;
}

} // namespace

HttpClient::HttpClient(HttpOptions options)
    : m_options(std::move(options))
{
    InitCurlOnce();
}

HttpResult HttpClient::Get(const QByteArray &url) const
{
    return Perform(url, nullptr);
}

HttpResult HttpClient::Post(const QByteArray &url, const QList<QByteArray> &formLines) const
{
    const QByteArray body = FormBody(formLines);
    return Perform(url, &body);
}

QByteArray HttpClient::FormBody(const QList<QByteArray> &formLines)
{
    QByteArray body;
    for (qsizetype i = 0; i < formLines.size(); ++i) {
        if (i)
            body += '&';
        const QByteArray &line = formLines[i];
        const qsizetype equals = line.indexOf('=');
        if (equals < 0) {
            body += line;
            continue;
        }
        body += line.left(equals + 1) + QUrl::toPercentEncoding(QString::fromLatin1(line.mid(equals + 1)));
    }
    return body;
}

HttpResult HttpClient::Perform(const QByteArray &url, const QByteArray *postBody) const
{
    HttpResult result;
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), curl_easy_cleanup);
    if (!curl) {
        result.Error = QStringLiteral("The HTTP client could not start.");
        return result;
    }
    CURL *h = curl.get();
    char errorText[CURL_ERROR_SIZE] = {};
    Receiver receiver {&result.Body, m_options.MaxBody};
    curl_easy_setopt(h, CURLOPT_URL, url.constData()); // curl copies the address
    curl_easy_setopt(h, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, m_options.ConnectTimeout);
    curl_easy_setopt(h, CURLOPT_TIMEOUT, m_options.TotalTimeout);
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, Receive);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &receiver);
    if (m_options.Cancel) {
        curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, OnProgress);
        curl_easy_setopt(h, CURLOPT_XFERINFODATA, const_cast<std::atomic<bool> *>(m_options.Cancel));
    }
    if (!m_options.UserAgent.isEmpty())
        curl_easy_setopt(h, CURLOPT_USERAGENT, m_options.UserAgent.constData());
    curl_slist *headers = nullptr;
    const QByteArray accept = "Accept: " + m_options.Accept;
    headers = curl_slist_append(headers, accept.constData());
    if (postBody) {
        headers = curl_slist_append(headers, "Content-Type: application/x-www-form-urlencoded");
        curl_easy_setopt(h, CURLOPT_POST, 1L);
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE, static_cast<long>(postBody->size()));
        curl_easy_setopt(h, CURLOPT_POSTFIELDS, postBody->constData());
    }
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers);
    const CURLcode code = curl_easy_perform(h);
    curl_slist_free_all(headers);
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    result.Status = static_cast<int>(status);
    if (code != CURLE_OK) {
        result.Error = receiver.TooBig ? QStringLiteral("The answer is larger than %1 bytes.").arg(m_options.MaxBody)
                                       : QString::fromUtf8(errorText[0] ? errorText : curl_easy_strerror(code));
        result.Body.clear();
        qCDebug(lcConfig) << "HTTP" << url << "failed:" << result.Error;
        return result;
    }
    if (status >= 400) {
        result.Error = QStringLiteral("HTTP error %1").arg(status);
        qCDebug(lcConfig) << "HTTP" << url << "answered" << status;
        return result;
    }
    result.Ok = true;
    return result;
}

} // namespace wren
