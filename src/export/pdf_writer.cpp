// PDF through qpdf: one page the picture's size on paper, holding the picture as one image at
// one image pixel per device pixel of that size, Deflate-compressed and never interpolated.
// qpdf takes the image's rows from a provider while it writes, so no copy of the picture is
// made; only the compressed image waits in memory until its length is known.
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFMatrix.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <span>
#include <string>
#include <vector>

#include "base/errors.h"
#include "export/export_internal.h"
#include "export/row_deflate.h"

namespace lumigrid::export_detail {

namespace {

constexpr double kPointsPerInch = 72;
// zlib's usual level, the one qpdf compresses its own streams at.
constexpr int kDeflateLevel = 6;
// The largest page side common readers take, in default units (PDF's own implementation limit).
constexpr double kMostUnitsASide = 14400;

double to_points(std::int64_t pixels, double pixels_per_inch) {
  return double(pixels) * kPointsPerInch / pixels_per_inch;
}

// qpdf's output, forwarded to the atomic file. A failed write ends qpdf's work at once.
class FileSink : public Pipeline {
 public:
  explicit FileSink(AtomicFile& file) : Pipeline("lumigrid file", nullptr), file_(file) {}
  void write(unsigned char const* data, size_t size) override {
    file_.write(data, size);
    file_.check();
  }
  void finish() override { file_.check(); }

 private:
  AtomicFile& file_;
};

// The image's rows in the form its dictionary names, the columns and rows of `part`, as one
// zlib stream compressed on every processor (equal runs of rows once).
class RowProvider : public QPDFObjectHandle::StreamDataProvider {
 public:
  RowProvider(const RowSource& picture, const PdfSheet& part, bool bilevel, AtomicFile& file,
              ProgressPacer& progress)
      : picture_(picture), part_(part), bilevel_(bilevel), file_(file), progress_(progress) {}

  // qpdf turns a provider's exception into its own warning and error; the first one thrown
  // here is kept so that the caller gets it unchanged (a cancelled save stays cancelled).
  void provideStreamData(QPDFObjGen const&, Pipeline* pipeline) override {
    try {
      provide(pipeline);
    } catch (...) {
      if (!failure_) failure_ = std::current_exception();
      throw;
    }
  }
  const std::exception_ptr& failure() const { return failure_; }

 private:
  void provide(Pipeline* pipeline) {
    const std::int32_t width = part_.source_width;
    const std::size_t left = std::size_t(part_.source_x);
    const RowRange part_rows(picture_, part_.source_y, part_.source_height);
    const std::uint64_t row_bytes = stored_sample_bytes(picture_.format(), bilevel_, width);
    const std::size_t left_bytes = left * bytes_per_pixel(picture_.format());
    const auto encode = [&](std::int32_t y, std::uint8_t* scratch, std::uint8_t* out) {
      store_samples(part_rows.row(y, scratch) + left_bytes, picture_.format(), bilevel_, width,
                    out);
    };
    try {
      deflate_rows(
          {part_rows, row_bytes, encode}, {kDeflateLevel, Z_DEFAULT_STRATEGY}, DeflateTuning{},
          [pipeline](const std::uint8_t* bytes, std::size_t size) { pipeline->write(bytes, size); },
          file_, progress_);
    } catch (const DeflateError& e) {
      throw_write_error(file_.target(), std::string("PDF encoder: ") + e.what());
    }
    pipeline->finish();
  }

  const RowSource& picture_;
  const PdfSheet part_;
  const bool bilevel_;
  AtomicFile& file_;
  ProgressPacer& progress_;
  std::exception_ptr failure_;
};

}  // namespace

void write_pdf(const RowSource& picture, double pixels_per_inch, AtomicFile& file,
               ProgressPacer& progress, std::span<const std::uint8_t> icc_profile) {
  // The picture on a sheet of its own size.
  PdfSheet whole;
  whole.width_points = to_points(picture.width(), pixels_per_inch);
  whole.height_points = to_points(picture.height(), pixels_per_inch);
  whole.source_width = picture.width();
  whole.source_height = picture.height();
  write_pdf_sheet(picture, pixels_per_inch, whole, file, progress, icc_profile);
}

void write_pdf_sheet(const RowSource& picture, double pixels_per_inch, const PdfSheet& sheet,
                     AtomicFile& file, ProgressPacer& progress,
                     std::span<const std::uint8_t> icc_profile) {
  const bool grey = picture.format() == PixelFormat::Gray8;
  const bool bilevel = grey && black_and_white(picture);
  // A sheet wider or taller than readers take is described in larger units (UserUnit, so many
  // points a unit): the same size on paper in numbers they accept.
  const double most_points = std::max(sheet.width_points, sheet.height_points);
  const double unit = most_points > kMostUnitsASide ? std::ceil(most_points / kMostUnitsASide) : 1;
  // Sizes in units; qpdf writes at most four decimals, which holds a 600 dpi page exactly in
  // points (a pixel is 0.12 point) and within 0.00005 unit in larger units.
  const double width = to_points(sheet.source_width, pixels_per_inch) / unit;
  const double height = to_points(sheet.source_height, pixels_per_inch) / unit;
  const double left = to_points(sheet.left, pixels_per_inch) / unit;
  // PDF counts up from the sheet's bottom edge.
  const double bottom =
      (sheet.height_points -
       to_points(std::int64_t(sheet.top) + sheet.source_height, pixels_per_inch)) /
      unit;
  constexpr int kDecimals = 4;

  const auto rows = std::make_shared<RowProvider>(picture, sheet, bilevel, file, progress);
  try {
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.emptyPDF();

    auto image = QPDFObjectHandle::newStream(&pdf);
    auto dictionary = image.getDict();
    dictionary.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    dictionary.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
    dictionary.replaceKey("/Width", QPDFObjectHandle::newInteger(sheet.source_width));
    dictionary.replaceKey("/Height", QPDFObjectHandle::newInteger(sheet.source_height));
    if (!grey && !icc_profile.empty()) {
      // The numbers are in the profile's colours: a colour-managed reader converts them from
      // it, and one that cannot falls back to the device's RGB.
      auto profile = QPDFObjectHandle::newStream(
          &pdf, std::string(reinterpret_cast<const char*>(icc_profile.data()), icc_profile.size()));
      profile.getDict().replaceKey("/N", QPDFObjectHandle::newInteger(3));
      profile.getDict().replaceKey("/Alternate", QPDFObjectHandle::newName("/DeviceRGB"));
      auto space = QPDFObjectHandle::newArray();
      space.appendItem(QPDFObjectHandle::newName("/ICCBased"));
      space.appendItem(profile);
      dictionary.replaceKey("/ColorSpace", space);
    } else {
      dictionary.replaceKey("/ColorSpace",
                            QPDFObjectHandle::newName(grey ? "/DeviceGray" : "/DeviceRGB"));
    }
    dictionary.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(bilevel ? 1 : 8));
    // A test chart's rings must reach the paper as drawn: no smoothing between pixels.
    dictionary.replaceKey("/Interpolate", QPDFObjectHandle::newBool(false));
    // Handed over compressed; the writer passes it on as it is.
    image.replaceStreamData(rows, QPDFObjectHandle::newName("/FlateDecode"),
                            QPDFObjectHandle::newNull());

    // The image space's unit square stretched over the picture's place on the sheet; a sheet
    // turned a quarter counterclockwise: its left edge along the paper's bottom, its top
    // along the paper's left edge.
    std::string placement =
        "q " + QPDFMatrix(width, 0, 0, height, left, bottom).unparse() + " cm /Im0 Do Q";
    if (sheet.quarter_turn) {
      placement = "q " + QPDFMatrix(0, 1, -1, 0, sheet.height_points / unit, 0).unparse() + " cm " +
                  placement + " Q";
    }
    auto contents = QPDFObjectHandle::newStream(&pdf, placement);

    auto xobjects = QPDFObjectHandle::newDictionary();
    xobjects.replaceKey("/Im0", image);
    auto resources = QPDFObjectHandle::newDictionary();
    resources.replaceKey("/XObject", xobjects);

    auto media_box = QPDFObjectHandle::newArray();
    media_box.appendItem(QPDFObjectHandle::newInteger(0));
    media_box.appendItem(QPDFObjectHandle::newInteger(0));
    const double paper_width = sheet.quarter_turn ? sheet.height_points : sheet.width_points;
    const double paper_height = sheet.quarter_turn ? sheet.width_points : sheet.height_points;
    media_box.appendItem(QPDFObjectHandle::newReal(paper_width / unit, kDecimals));
    media_box.appendItem(QPDFObjectHandle::newReal(paper_height / unit, kDecimals));

    auto page = QPDFObjectHandle::newDictionary();
    page.replaceKey("/Type", QPDFObjectHandle::newName("/Page"));
    page.replaceKey("/MediaBox", media_box);
    page.replaceKey("/Contents", contents);
    page.replaceKey("/Resources", resources);
    if (unit > 1) page.replaceKey("/UserUnit", QPDFObjectHandle::newInteger(std::int64_t(unit)));
    QPDFPageDocumentHelper(pdf).addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(page)), false);

    FileSink sink(file);
    QPDFWriter writer(pdf);
    writer.setOutputPipeline(&sink);
    writer.setCompressStreams(true);
    // The same picture always gives the same file.
    writer.setDeterministicID(true);
    // UserUnit came with PDF 1.6.
    if (unit > 1) writer.setMinimumPDFVersion("1.6");
    writer.write();
  } catch (const std::exception& e) {
    if (rows->failure()) std::rethrow_exception(rows->failure());
    // The file's own failure is already in the program's words.
    if (dynamic_cast<const Error*>(&e) != nullptr || is_memory_failure(e)) {
      throw;
    }
    file.check();
    throw_write_error(file.target(), e.what());
  }
  file.check();
}

}  // namespace lumigrid::export_detail
