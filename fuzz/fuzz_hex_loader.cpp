// libFuzzer target: both layers of the HEX policy (the daemon's check with
// its one-pass image, the front end's stricter check with its notes), image
// building, the identifier line check and the block plan of an update over
// that image. Nothing may read or write outside the image.
#include "firmware/flashplan.h"
#include "firmware/hexfile.h"
#include "firmware/imagecheck.h"

#include <QByteArray>

#include <initializer_list>
#include <set>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {
constexpr std::size_t kHeaderBytes = 12;

std::uint32_t read32(const std::uint8_t *p)
{
    std::uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < kHeaderBytes)
        return 0;
    // Header: flash start, programmed start, sizes in KiB (kept small so a
    // run stays fast), erase step, padding, identifier position.
    protocol::BoardLayout config;
    config.startFlash = qint32(read32(data) & 0x0FFFFFFF);
    config.startProgr = qint32(read32(data + 4) & 0x0001FFFF);
    config.sizeFlash = data[8] % 130;
    config.sizeProgr = data[9] % 130;
    config.maxErase = (data[10] & 0x80) ? -1 : int(data[10]) * 64;
    const bool eraseAll = data[10] & 0x40;
    const int idPosition = int(data[11] % 16) - 1;
    const QByteArray file(reinterpret_cast<const char *>(data + kHeaderBytes),
                          qsizetype(size - kHeaderBytes));

    const bool recordsOk = hexfile::validateRecords(file).ok();
    const bool idOk = hexfile::boardIdMatches(hexfile::firstLine(file), idPosition, 0x1234);

    // The daemon's check passes only what the single checks pass, and points
    // at a line of the file.
    config.idPosition = idPosition;
    const qsizetype lines = file.count('\n') + file.count('\r') + 1;
    hexfile::Layout layout = hexfile::imageLayoutOf(config);
    layout.padding = data[11];
    QByteArray checkedImage;
    const hexfile::ImageProblem problem =
        hexfile::checkImage(file, config, 0x1234, layout, &checkedImage);
    if (problem.ok() && (!recordsOk || !idOk))
        std::abort();
    if (problem.line < 0 || problem.line > lines)
        std::abort();

    QByteArray image;
    const bool built = hexfile::buildImage(file, layout, &image);
    if (built != (layout.sizeBytes > 0) || image.size() != qsizetype(built ? layout.sizeBytes : 0))
        std::abort();
    // The image built while checking is the one built alone.
    if (problem.ok() && checkedImage != image)
        std::abort();

    // The front end's check is stricter: what it passes, the daemon takes.
    const hexfile::ImageReport report = hexfile::inspectImage(file, config, 0x1234);
    if (report.ok() && !problem.ok())
        std::abort();
    if (report.problem.line < 0 || report.problem.line > lines ||
        report.problem.otherLine > report.problem.line)
        std::abort();
    if (report.ok() &&
        (report.programmedBytes == 0 || report.programmedBytes > report.programAreaBytes ||
         report.programmed.first > report.programmed.last))
        std::abort();
    for (const hexfile::SkippedBytes *skipped :
         {&report.outsideFlash, &report.outsideProgramArea}) {
        quint64 listed = 0;
        for (const hexfile::ByteRange &r : skipped->listed) {
            if (r.first > r.last)
                std::abort();
            listed += r.bytes();
        }
        if (skipped->listed.size() > hexfile::SkippedBytes::kMaxListed ||
            skipped->rangeCount < skipped->listed.size() || listed > skipped->bytes)
            std::abort();
    }

    // The counts agree with a byte-by-byte look at every distinct address.
    if (report.ok()) {
        std::set<quint64> seen;
        quint64 counts[3] = {0, 0, 0}; // outside the flash, outside the program area, programmed
        const qint64 programStart = qint64(config.startProgr & 0xFFFFFF);
        hexfile::RecordWalker walker(file);
        while (walker.next() && seen.size() < 100000) {
            const hexfile::RecordView &r = walker.record();
            if (r.type != 0)
                continue;
            for (qsizetype i = 0; i < r.data.size(); ++i) {
                if (!seen.insert(r.address + quint64(i)).second)
                    continue;
                const qint64 offset = hexfile::offsetInImage(layout, r.address + quint64(i));
                const bool programmed =
                    offset >= programStart && offset < programStart + config.progrBytes();
                ++counts[offset < 0 ? 0 : programmed ? 2 : 1];
            }
        }
        if (seen.size() < 100000 &&
            (counts[0] != report.outsideFlash.bytes ||
             counts[1] != report.outsideProgramArea.bytes || counts[2] != report.programmedBytes))
            std::abort();
    }

    // Every block an accepted configuration asks for lies inside the image.
    if (!FlashPlan::layoutProblem(config).isEmpty())
        return 0;
    FlashPlan plan(config, eraseAll);
    for (int n = 0; n <= plan.totalBlocks(); ++n) {
        const quint32 offset = FlashPlan::offsetOf(plan.currentAddress());
        if (quint64(offset) + FlashPlan::kBlockBytes > quint64(image.size()))
            std::abort();
        const FlashPlan::Step step = plan.acknowledge();
        if (step.finished)
            return 0;
        if (step.erasePage)
            plan.pageErased();
    }
    std::abort(); // the plan must end after its blocks
}
