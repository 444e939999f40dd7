// SPDX-License-Identifier: Apache-2.0
// Feeds arbitrary bytes to the parts of a fetch that read what a server or a
// user sends: the response split into header and body (in chunks of the size
// the first byte gives), the content-type rename, and address parsing.
#include "FuzzSupport.h"
#include "data/WebUnit.h"

#include <algorithm>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ostrel::prepareFuzzing();
    if (size == 0)
        return 0;
    const qsizetype chunk = data[0] == 0 ? 1 : data[0];
    const auto* response = reinterpret_cast<const char*>(data + 1);
    const qsizetype length = qsizetype(size - 1);

    constexpr qsizetype kMaxHeader = 512;
    constexpr qint64 kMaxBody = 2048;
    QString header;
    QByteArray body;
    ostrel::ResponseSplitter splitter(header, body, kMaxHeader, kMaxBody);
    qsizetype fed = 0;
    auto status = ostrel::ResponseSplitter::Status::Fine;
    while (fed < length && status == ostrel::ResponseSplitter::Status::Fine) {
        const qsizetype count = std::min(chunk, length - fed);
        status = splitter.feed(response + fed, count);
        fed += count;
    }
    const QString headerEnd = QStringLiteral("\r\n\r\n");
    if (header.size() > kMaxHeader || body.size() > kMaxBody)
        std::abort();
    // The header ends at the first blank line and nowhere earlier.
    if (header.indexOf(headerEnd) != (splitter.inHeader() ? -1 : header.size() - 4))
        std::abort();
    if (status == ostrel::ResponseSplitter::Status::Fine && header.size() + body.size() != length)
        std::abort();

    QString fileName = QString::fromLatin1(response, std::min<qsizetype>(length, 40));
    ostrel::AdjustExtensionToContentType(fileName, header);

    const ostrel::ParsedAddress address = ostrel::parseAddress(QString::fromLatin1(response, length));
    if (address.host.contains(u'/') || address.fileName.contains(u'/') || !address.path.startsWith(u'/'))
        std::abort();
    // An address adds no lines of its own to the request.
    if (ostrel::buildRequest(address).count("\r\n") != 3)
        std::abort();
    return 0;
}
