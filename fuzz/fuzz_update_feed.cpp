// libFuzzer target: the update feed. Whatever passes the shape check must be
// within the limits as the XML reader itself counts them, and the verdict on
// the feed must agree with the release it names.
#include "frontend/core/updatecheck.h"
#include "fuzz/fuzzsupport.h"

#include <QXmlStreamReader>

#include <cstddef>
#include <cstdint>

namespace {

using frontend::AppcastLimits;
using fuzzsupport::check;

// Walks the feed with the reader alone, as far as it reads, and checks
// what the shape check let through.
void checkWithinLimits(const QByteArray &feed)
{
    QXmlStreamReader xml(feed);
    int depth = 0;
    int nodes = 0;
    int attributesInAll = 0;
    int namespaces = 0;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement: {
            const int attributes = int(xml.attributes().size());
            const int declared = int(xml.namespaceDeclarations().size());
            check(attributes + declared <= AppcastLimits::kMaxAttributes, "attributes on one");
            attributesInAll += attributes + declared;
            namespaces += declared;
            check(attributesInAll <= AppcastLimits::kMaxAttributesInAll, "attributes in all");
            check(namespaces <= AppcastLimits::kMaxNamespaces, "namespaces");
            check(++depth <= AppcastLimits::kMaxDepth, "depth");
            check(++nodes <= AppcastLimits::kMaxNodes, "nodes");
            break;
        }
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        case QXmlStreamReader::Comment:
        case QXmlStreamReader::ProcessingInstruction:
        case QXmlStreamReader::EntityReference:
            check(++nodes <= AppcastLimits::kMaxNodes, "nodes");
            break;
        case QXmlStreamReader::DTD:
            check(false, "a document type passed");
            break;
        default:
            break;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzsupport::startQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray feed(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString shapeError = frontend::appcastShapeError(feed);
    const frontend::AppcastParseResult parsed = frontend::parseAppcast(feed);
    if (!shapeError.isEmpty()) {
        check(!parsed.ok && parsed.error == shapeError, "refused feed was read");
    } else {
        checkWithinLimits(feed);
    }
    check(parsed.ok == parsed.error.isEmpty(), "an error exactly when unreadable");
    if (!parsed.ok)
        check(!parsed.newest.has_value(), "a release from an unreadable feed");
    if (parsed.newest) {
        check(!parsed.newest->version.isEmpty(), "a release without version");
        const QString scheme = parsed.newest->downloadUrl.scheme().toLower();
        check(scheme == QLatin1String("https") || scheme == QLatin1String("http"),
              "a release without a web link");
        check(!parsed.newest->displayVersion.isEmpty(), "no version to show");
    }

    using Checker = frontend::UpdateChecker;
    const QString installed = QStringLiteral("2.8");
    const Checker::Result result = Checker::evaluate(feed, installed);
    if (result.outcome == Checker::Outcome::UpdateAvailable) {
        check(parsed.newest.has_value(), "an update from no release");
        check(frontend::compareVersions(result.item.version, installed) > 0, "not newer");
        check(result.item.version == parsed.newest->version, "not the newest release");
    } else if (result.outcome == Checker::Outcome::UpToDate) {
        check(parsed.ok, "up to date on an unreadable feed");
    } else {
        check(!result.error.isEmpty(), "a failure without a reason");
    }
    // Version order is antisymmetric.
    if (parsed.newest) {
        const int forward = frontend::compareVersions(parsed.newest->version, installed);
        const int backward = frontend::compareVersions(installed, parsed.newest->version);
        check((forward > 0) == (backward < 0) && (forward == 0) == (backward == 0),
              "version order");
    }
    return 0;
}
