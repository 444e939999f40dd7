// SPDX-License-Identifier: Apache-2.0
// JPEG through libjpeg: full size, the accurate integer DCT, 24-bit output.
// This is the only file that talks to libjpeg. libjpeg reports a fatal error
// by calling a handler that must not return; ours longjmps back into one of
// the two small functions below that call setjmp. Neither holds a C++ object
// with a destructor, so the jump skips no clean-up; the picture and the
// decoder state live in the caller's frame, which the jump never crosses.
#include "util/Picture.h"

#include "ReaderKit.h"
#include "Readers.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jerror.h>
#include <jpeglib.h>

namespace ostrel {

namespace {

// A real progressive file has about ten scans; a hostile one can declare
// thousands, each of which makes libjpeg walk the whole picture again.
constexpr int kMaxProgressiveScans = 500;

// Rows handed to libjpeg per call: enough for any upsampling factor, so
// libjpeg writes straight into the picture instead of a spare row.
constexpr int kRowsPerRead = 16;

// Everything libjpeg needs for one file. Plain C data only (no destructors),
// so that a longjmp out of libjpeg leaves nothing behind to clean up except
// the decompressor, which the caller destroys.
struct JpegSession {
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    jpeg_progress_mgr progress;
    std::jmp_buf jump;
    bool created;
    bool sawWarning;
    int firstWarningCode;
    char firstWarning[JMSG_LENGTH_MAX];
    char failure[JMSG_LENGTH_MAX];
};

// How the decoded rows become blue, green, red.
enum class RowKind {
    Bgr,  // libjpeg writes blue, green, red itself
    Grey, // one byte per pixel, widened in place
    Cmyk, // four bytes per pixel into scratch, then converted
};

JpegSession& sessionOf(j_common_ptr info)
{
    return *static_cast<JpegSession*>(info->client_data);
}

[[noreturn]] void failJpeg(j_common_ptr info)
{
    JpegSession& session = sessionOf(info);
    (*info->err->format_message)(info, session.failure);
    std::longjmp(session.jump, 1);
}

// Warnings (a file cut short, stray bytes) are accepted: libjpeg fills what
// is missing and goes on. The first one is kept for the report.
void noteJpegMessage(j_common_ptr info, int level)
{
    if (level >= 0)
        return;
    JpegSession& session = sessionOf(info);
    info->err->num_warnings++;
    if (session.sawWarning)
        return;
    session.sawWarning = true;
    session.firstWarningCode = info->err->msg_code;
    (*info->err->format_message)(info, session.firstWarning);
}

void watchScanCount(j_common_ptr info)
{
    auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
    if (decompress->progressive_mode && decompress->input_scan_number > kMaxProgressiveScans) {
        JpegSession& session = sessionOf(info);
        std::snprintf(session.failure, sizeof session.failure, "More than %d progressive scans",
                      kMaxProgressiveScans);
        std::longjmp(session.jump, 1);
    }
}

RowKind chooseOutput(j_decompress_ptr info, bool grey)
{
    if (info->jpeg_color_space == JCS_CMYK || info->jpeg_color_space == JCS_YCCK) {
        info->out_color_space = JCS_CMYK;
        return RowKind::Cmyk;
    }
    if (grey) {
        info->out_color_space = JCS_GRAYSCALE;
        return RowKind::Grey;
    }
    info->out_color_space = JCS_EXT_BGR;
    return RowKind::Bgr;
}

// Huffman codes take at least a bit for each 8 × 8 block of the fullest
// component in the first scan, so a byte of scan data covers at most 512
// pixels. libjpeg would decode a file cut short after its header to a whole
// grey picture of any size; past this bound it is refused instead.
constexpr uint64_t kHuffmanPixelsPerByte = 8 * 64;

// Arithmetic coding has no such floor: its coder adapts until an empty block
// costs almost nothing, so a flat picture of any size takes the same few
// bytes (8000 × 8000 grey in 125 bytes, 1000 × 1000 in as many). What such a
// file can supply is told instead by whether its data reach the end-of-image
// marker: a complete file is as large as its frame says, one cut short is
// held to the Huffman bound, like any file whose data end early.
bool reachesImageEnd(const uint8_t* data, size_t size)
{
    // Entropy-coded data never hold FF D9: an FF there is followed by 00 or a
    // restart marker.
    for (size_t i = 0; i + 1 < size; ++i)
        if (data[i] == 0xFF && data[i + 1] == 0xD9)
            return true;
    return false;
}

// Opens the file and settles the output size. Returns false with
// session.failure set when libjpeg gives up.
bool readJpegHeader(JpegSession& session, ByteView data, bool grey, int64_t pixelLimit, RowKind& kind)
{
    if (setjmp(session.jump))
        return false;
    jpeg_create_decompress(&session.info);
    session.created = true;
    session.info.client_data = &session;
    session.info.progress = &session.progress;
    // Bounds the whole-picture buffers of progressive and multi-scan files;
    // libjpeg fails rather than exceed it.
    session.info.mem->max_memory_to_use = long(std::min<int64_t>(pixelLimit * 10, int64_t(1) << 40));
    jpeg_mem_src(&session.info, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&session.info, TRUE);
    if (session.info.jpeg_color_space == JCS_UNKNOWN) {
        std::snprintf(session.failure, sizeof session.failure, "Unknown colour space with %d components",
                      session.info.num_components);
        return false;
    }
    kind = chooseOutput(&session.info, grey);
    session.info.scale_num = 1;
    session.info.scale_denom = 1;
    session.info.dct_method = JDCT_ISLOW;
    session.info.quantize_colors = FALSE;
    jpeg_calc_output_dimensions(&session.info);
    return true;
}

// Widens grey bytes at the start of a row to blue, green, red, from the
// right so that no grey byte is overwritten before it is read.
void widenGreyRow(uint8_t* row, int width)
{
    for (int x = width - 1; x >= 0; --x) {
        const uint8_t grey = row[x];
        uint8_t* pixel = row + 3 * x;
        pixel[0] = grey;
        pixel[1] = grey;
        pixel[2] = grey;
    }
}

// libjpeg hands CMYK over as stored. Files with an Adobe marker (nearly all
// of them) store the inks inverted, so each value is the amount of light
// left: red = C × K / 255, rounded.
inline uint8_t scaleByInk(unsigned value, unsigned black)
{
    return uint8_t((value * black + 127) / 255);
}

void convertCmykRow(const uint8_t* cmyk, uint8_t* row, int width, bool grey)
{
    for (int x = 0; x < width; ++x, cmyk += 4, row += 3) {
        const uint8_t red = scaleByInk(cmyk[0], cmyk[3]);
        const uint8_t green = scaleByInk(cmyk[1], cmyk[3]);
        const uint8_t blue = scaleByInk(cmyk[2], cmyk[3]);
        if (grey) {
            // libjpeg's own weights for colour to grey.
            const uint8_t luma = uint8_t((19595u * red + 38470u * green + 7471u * blue + 32768u) >> 16);
            row[0] = row[1] = row[2] = luma;
        } else {
            row[0] = blue;
            row[1] = green;
            row[2] = red;
        }
    }
}

// Decodes every row into the picture's memory. Returns false with
// session.failure set when libjpeg gives up.
bool decodeJpegRows(JpegSession& session, uint8_t* bits, qsizetype stride, RowKind kind, bool grey)
{
    if (setjmp(session.jump))
        return false;
    j_decompress_ptr info = &session.info;
    jpeg_start_decompress(info);
    const int width = int(info->output_width);
    const int height = int(info->output_height);
    JSAMPARRAY scratch = nullptr;
    if (kind == RowKind::Cmyk)
        scratch = (*info->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(info), JPOOL_IMAGE,
                                             JDIMENSION(width) * 4, kRowsPerRead);
    JSAMPROW rows[kRowsPerRead];
    while (int(info->output_scanline) < height) {
        const int first = int(info->output_scanline);
        const int wanted = std::min(kRowsPerRead, height - first);
        for (int i = 0; i < wanted; ++i)
            rows[i] = scratch ? scratch[i] : bits + (first + i) * stride;
        const int got = int(jpeg_read_scanlines(info, rows, JDIMENSION(wanted)));
        if (got <= 0) {
            std::snprintf(session.failure, sizeof session.failure, "Decoder stopped at row %d", first);
            return false;
        }
        for (int i = 0; i < got; ++i) {
            uint8_t* row = bits + (first + i) * stride;
            if (kind == RowKind::Grey)
                widenGreyRow(row, width);
            else if (kind == RowKind::Cmyk)
                convertCmykRow(scratch[i], row, width, grey);
        }
    }
    jpeg_finish_decompress(info);
    return true;
}

void prepareSession(JpegSession& session)
{
    std::memset(&session, 0, sizeof session);
    session.info.err = jpeg_std_error(&session.errors);
    session.errors.error_exit = failJpeg;
    session.errors.emit_message = noteJpegMessage;
    session.progress.progress_monitor = watchScanCount;
}

LoadStop stopAfterWarnings(const JpegSession& session)
{
    if (!session.sawWarning)
        return LoadStop::Complete;
    return session.firstWarningCode == JWRN_JPEG_EOF ? LoadStop::Truncated : LoadStop::Corrupt;
}

} // namespace

LoadResult LoadJpegFile(const LoadInput& input)
{
    kit::ReaderRun run(input, "JPG", 100, 100);
    if (!input.exists)
        return run.finish(LoadStop::Missing);

    // A damaged file leaves no picture, so that the caller keeps its previous one.
    run.picture() = QImage();
    const bool grey = input.options.JpegGrayscale;
    JpegSession session;
    prepareSession(session);
    RowKind kind = RowKind::Bgr;
    LoadStop stop = LoadStop::Failed;
    if (readJpegHeader(session, input.data, grey, input.options.PixelLimit, kind)) {
        const int64_t width = session.info.output_width;
        const int64_t height = session.info.output_height;
        const uint64_t dataBytes = session.info.src->bytes_in_buffer;
        const bool completeArithmetic =
            session.info.arith_code && reachesImageEnd(session.info.src->next_input_byte, dataBytes);
        QImage picture;
        if (completeArithmetic || run.dataCanFill(width, height, kit::pixelsFrom(dataBytes, kHuffmanPixelsPerByte)))
            picture = allocatePicture(width, height, input.options.PixelLimit);
        if (picture.isNull()) {
            if (!pictureSizeAllowed(width, height, input.options.PixelLimit))
                run.line(QStringLiteral("Picture of %1 x %2 pixels is over the limit").arg(width).arg(height));
        } else if (decodeJpegRows(session, picture.bits(), picture.bytesPerLine(), kind, grey)) {
            run.picture() = std::move(picture);
            stop = stopAfterWarnings(session);
        }
    }
    if (session.created)
        jpeg_destroy_decompress(&session.info);

    if (stop == LoadStop::Failed) {
        if (session.failure[0] != '\0')
            run.line(QString::fromLatin1(session.failure));
        return run.finish(stop);
    }
    if (session.sawWarning)
        run.line(QString::fromLatin1(session.firstWarning));
    run.value(QStringLiteral("Width"), run.picture().width());
    run.value(QStringLiteral("Height"), run.picture().height());
    run.value(QStringLiteral("Load as Gray"), reportBool(grey));
    return run.finish(stop);
}

} // namespace ostrel
