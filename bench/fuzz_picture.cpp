// Feeds arbitrary bytes to the decoder that reopen uses, with its allocation cap, under
// AddressSanitizer and UndefinedBehaviorSanitizer.
//
//   fuzz_picture --write-seeds DIR   writes the generated starting pictures into DIR, after
//                                    checking that each decodes to the picture it was made from
//   fuzz_picture [libFuzzer options] CORPUS...
#include "fuzz_seeds.h"
#include "sheet/picturefile.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImageReader>

#include <sanitizer/allocator_interface.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Every new block of memory is filled with this byte (none while negative), so that pixels a
// decoder never writes show up as a difference between two decodes of the same bytes. Blocks
// too large for the sanitizer's small-block pool come from fresh zeroed pages and are left
// alone, as calloc relies on that.
int fillByte = -1;
constexpr std::size_t LargestFilled = 64 * 1024;

void fillOnAllocate(const volatile void *block, std::size_t size)
{
    if (fillByte >= 0 && size <= LargestFilled)
        std::memset(const_cast<void *>(block), fillByte, size);
}

// Qt is not built for coverage, so the fuzzer would be blind inside the decoders. What they say
// (their warnings, the format told, the outcome and the shape of the picture) stands in for it:
// each distinct thing bumps one of these counters, which libFuzzer reads like its own.
__attribute__((used, section("__libfuzzer_extra_counters"))) std::uint8_t outcomes[1 << 14];

void count(const QByteArray &what)
{
    ++outcomes[qHash(what) % sizeof(outcomes)];
}

// A warning counts by its wording, without the numbers and names it quotes from the file.
void countMessage(const QString &message)
{
    QByteArray gist;
    for (const QByteArray &word : message.toUtf8().split(' ')) {
        if (!word.isEmpty() && std::all_of(word.begin(), word.end(), [](char c) {
                return (c >= 'a' && c <= 'z') || c == ':' || c == ',' || c == '.';
            }))
            gist += word + ' ';
    }
    count(gist);
}

QImage decodeOver(int fill, const QByteArray &bytes, QString *reason)
{
    fillByte = fill;
    picturefile::Failure failure;
    QImage image = picturefile::decode(bytes, &failure);
    *reason = failure.detail;
    fillByte = -1;
    return image;
}

bool matches(const QImage &decoded, const PictureSeed &seed, QString *why)
{
    if (decoded.size() != seed.expected.size()) {
        *why = QStringLiteral("size %1x%2").arg(decoded.width()).arg(decoded.height());
        return false;
    }
    if (seed.tolerance < 0)
        return true;
    const QImage a = decoded.convertToFormat(QImage::Format_ARGB32);
    const QImage b = seed.expected.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            const int d =
                std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                          std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
            if (d > seed.tolerance) {
                *why = QStringLiteral("pixel %1,%2 is %3, not %4")
                           .arg(x)
                           .arg(y)
                           .arg(p, 8, 16, QLatin1Char('0'))
                           .arg(q, 8, 16, QLatin1Char('0'));
                return false;
            }
        }
    }
    return true;
}

int writeSeeds(const char *directory)
{
    QDir dir;
    if (!dir.mkpath(QString::fromLocal8Bit(directory))) {
        std::fprintf(stderr, "cannot make %s\n", directory);
        return 1;
    }
    int wrong = 0;
    const std::vector<PictureSeed> seeds = pictureSeeds();
    for (const PictureSeed &seed : seeds) {
        QString why;
        picturefile::Failure failure;
        const QImage decoded = picturefile::decode(seed.bytes, &failure);
        const QString reason = failure.detail;
        if (!seed.decodes) {
            if (!decoded.isNull()) {
                std::fprintf(stderr, "seed %s decodes, though it was not expected to\n",
                             qPrintable(seed.name));
                ++wrong;
            }
        } else if (decoded.isNull() || !matches(decoded, seed, &why)) {
            std::fprintf(stderr, "seed %s does not decode as made: %s\n", qPrintable(seed.name),
                         qPrintable(decoded.isNull() ? reason : why));
            ++wrong;
        }
        QFile file(QString::fromLocal8Bit(directory) + QLatin1Char('/') + seed.name);
        if (!file.open(QIODevice::WriteOnly) || file.write(seed.bytes) != seed.bytes.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
            return 1;
        }
    }
    std::printf("%zu seeds written to %s, %d not decoding as made\n", seeds.size(), directory,
                wrong);
    return wrong ? 1 : 0;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // Qt's image plugins (JPEG, GIF, ICO) are found through the application object. Its
    // warnings about refused pictures would only slow the fuzzer down.
    static int appArgc = 1;
    static char *appArgv[] = {(*argv)[0], nullptr};
    static QCoreApplication app(appArgc, appArgv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &message) {
        countMessage(message);
    });
    __sanitizer_install_malloc_and_free_hooks(fillOnAllocate, [](const volatile void *) {});
    if (*argc == 3 && std::strcmp((*argv)[1], "--write-seeds") == 0)
        std::exit(writeSeeds((*argv)[2]));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QString reason;
    const QImage image = decodeOver(0x00, bytes, &reason);
    // Whatever the header claims, no picture beyond the cap is ever made.
    if (image.sizeInBytes() > qsizetype(picturefile::AllocationLimitMiB) * 1024 * 1024) {
        std::fprintf(stderr, "decoded %dx%d, beyond the cap\n", image.width(), image.height());
        std::abort();
    }
    if (image.isNull() && reason.isEmpty()) {
        std::fprintf(stderr, "a failed decode gave no reason\n");
        std::abort();
    }
    {
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        // Sizes count by their order of magnitude.
        const auto bucket = [](int n) { return QByteArray::number(std::bit_width(unsigned(n))); };
        count(QImageReader::imageFormat(&buffer) + ' ' + reason.toUtf8() + ' ' +
              QByteArray::number(image.format()) + ' ' + bucket(image.width()) + ' ' +
              bucket(image.height()) + ' ' + bucket(image.colorCount()));
    }
    // The same bytes make the same picture, whatever the memory it lands in held before.
    if (decodeOver(0xff, bytes, &reason) != image) {
        std::fprintf(stderr,
                     "two decodes of the same bytes differ: pixels the file does not give\n");
        std::abort();
    }
    return 0;
}
