// libFuzzer target: HEX file validation, image building, the identifier
// line check and the block plan of an update over that image. Nothing may
// read or write outside the image.
#include "firmware/flashplan.h"
#include "firmware/hexfile.h"
#include "firmware/imagecheck.h"

#include <QByteArray>

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

    // The strict check passes only what the single checks pass, and points
    // at a line of the file.
    config.idPosition = idPosition;
    const hexfile::ImageProblem problem = hexfile::checkImage(file, config, 0x1234);
    if (problem.ok() && (!recordsOk || !idOk))
        std::abort();
    if (problem.line < 0 || problem.line > file.count('\n') + 1)
        std::abort();

    hexfile::Layout layout;
    layout.startFlash = quint32(config.startFlash);
    layout.sizeBytes = quint32(config.flashBytes());
    layout.padding = data[11];
    QByteArray image;
    const bool built = hexfile::buildImage(file, layout, &image);
    if (built != (layout.sizeBytes > 0) || image.size() != qsizetype(built ? layout.sizeBytes : 0))
        std::abort();

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
