// libFuzzer target: the front end's reading of the daemon's replies. The
// input is a series of messages, "topic\tpayload" per line; each is parsed
// into the front end's StatusObject, and what it set must follow from the
// message alone.
#include "frontend/core/frontendstatus.h"
#include "frontend/core/replyparser.h"
#include "fuzz/fuzzsupport.h"
#include "protocol/reports.h"
#include "protocol/topics.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
using fuzzsupport::check;
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzsupport::quietQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    namespace reply = protocol::reply;
    namespace payload = protocol::payload;
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    frontend::StatusObject status;
    frontend::ReplyParser parser(&status);
    for (const QByteArray &line : input.split('\n')) {
        const qsizetype tab = line.indexOf('\t');
        const QString topic = QString::fromLatin1(tab < 0 ? line : line.left(tab));
        const QString text = tab < 0 ? QString() : QString::fromLatin1(line.mid(tab + 1));
        const QString idBefore = status.m_BoardConf.id;
        const bool openedBefore = status.serialOpened;
        parser.parseMessage(topic, text);

        if (topic == reply::kInfo) {
            // One name per single blank, none lost, none invented.
            check(status.comPorts.size() == text.count(QLatin1Char(' ')) + 1);
            check(status.comPorts.join(QLatin1Char(' ')).size() <= text.size());
        } else if (topic == reply::kUpdatePercent) {
            check(status.percReceived);
            check(status.updatePercent == text.toInt());
        } else if (topic == reply::kReadId) {
            check(status.m_BoardConf.id == (text == payload::kError ? idBefore : text));
        } else if (topic == reply::kOpen) {
            check(status.serialOpened == (text == payload::kOk      ? true
                                          : text == payload::kError ? false
                                                                    : openedBefore));
        } else if (topic == reply::kError) {
            check(status.serialError && status.errorText == text);
        } else if (topic == reply::kUpdate) {
            check(!(status.updateDone && status.updateFailed));
        } else if (topic == reply::kFlash) {
            check(status.flashReplied);
        } else if (topic == reply::kInfoDetails) {
            // A named port per line at most.
            check(status.portDetails.size() <= text.count(QLatin1Char('\n')) + 1);
            for (const protocol::PortDetails &port : std::as_const(status.portDetails))
                check(!port.name.isEmpty());
        } else if (topic == reply::kUpdateReason) {
            check(status.updateReason.has_value() ==
                  protocol::parseFailureReason(text).has_value());
            if (status.updateReason) {
                const std::optional<protocol::FailureReason> again = protocol::parseFailureReason(
                    protocol::buildFailureReason(*status.updateReason));
                check(again && again->step == status.updateReason->step &&
                      again->cause == status.updateReason->cause);
            }
        } else if (topic == reply::kUpdateRetries) {
            check(status.updateRetries >= -1);
        } else if (topic == reply::kVerify) {
            const bool known =
                text == payload::kOk || text == payload::kError || text == payload::kUnsupported;
            check(!known || status.verifyReplied);
        }
    }
    return 0;
}
