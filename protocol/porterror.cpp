#include "protocol/porterror.h"

#include <QRegularExpression>

namespace protocol {

std::optional<PortErrorCode> portErrorCodeOf(const QString &daemonText)
{
    static const QRegularExpression codeAtEnd(QStringLiteral("error code (\\d{1,4})\\s*$"));
    const QRegularExpressionMatch match = codeAtEnd.match(daemonText);
    if (!match.hasMatch())
        return std::nullopt;
    const int code = match.captured(1).toInt();
    if (code > int(PortErrorCode::NotOpen))
        return PortErrorCode::Unknown;
    return PortErrorCode(code);
}

} // namespace protocol
