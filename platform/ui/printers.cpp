#include "platform/ui/printers.h"

#include <atomic>
#include <cairo-pdf.h>
#include <cairo.h>
#include <random>
#include <stdexcept>

#include "platform/os/directory.h"
#include "platform/os/file.h"
#include "platform/os/paths.h"
#include "platform/os/process.h"

namespace ui {

namespace {

// A4 in 96ths of an inch, and in PDF points.
constexpr int kA4Width = 794, kA4Height = 1123;
constexpr double kPointsPerPixel = 72.0 / 96.0;
// How long the print command may take to spool the file.
constexpr int kPrintTimeoutMs = 60000;

cairo_status_t append_bytes(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

std::string spool_file_name() {
    // Unique among the station's processes that print at once.
    static const unsigned process_tag = std::random_device{}();
    static std::atomic<unsigned> counter{0};
    return os::runtime_dir() + "/print-" + std::to_string(process_tag) + "-" + std::to_string(++counter) + ".pdf";
}

}  // namespace

TPrinter::TPrinter() : page_width_(kA4Width), page_height_(kA4Height) {}

TPrinter::~TPrinter() = default;

TCanvas& TPrinter::Canvas() { return pages_.empty() ? idle_.Canvas() : pages_.back()->Canvas(); }

void TPrinter::BeginDoc() {
    if (printing_) throw std::logic_error("TPrinter::BeginDoc: a document is open");
    pages_.clear();
    printing_ = true;
    NewPage();
}

void TPrinter::NewPage() {
    if (!printing_) throw std::logic_error("TPrinter::NewPage: no document");
    const TFont font = pages_.empty() ? TFont() : pages_.back()->Canvas().Font();
    pages_.push_back(std::make_unique<TBitmap>(page_width_, page_height_));
    // The font goes on to the next page, as on a printer's one canvas.
    pages_.back()->Canvas().Font().Assign(font);
}

void TPrinter::Abort() {
    pages_.clear();
    printing_ = false;
}

std::string TPrinter::RenderPdf() const {
    std::string pdf;
    cairo_surface_t* surface = cairo_pdf_surface_create_for_stream(append_bytes, &pdf, page_width_ * kPointsPerPixel,
                                                                   page_height_ * kPointsPerPixel);
    cairo_t* cr = cairo_create(surface);
    for (const auto& page : pages_) {
        cairo_save(cr);
        cairo_scale(cr, kPointsPerPixel, kPointsPerPixel);
        cairo_set_source_surface(cr, page->Surface(), 0, 0);
        cairo_paint(cr);
        cairo_restore(cr);
        cairo_show_page(cr);
    }
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    const cairo_status_t status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS)
        throw std::runtime_error(std::string("TPrinter: PDF: ") + cairo_status_to_string(status));
    return pdf;
}

void TPrinter::EndDoc() {
    if (!printing_) throw std::logic_error("TPrinter::EndDoc: no document");
    struct Close {
        TPrinter* p;
        ~Close() { p->Abort(); }
    } close{this};
    const std::string pdf = RenderPdf();
    const std::string path = spool_file_name();
    os::ReplacementFile file;
    if (!file.create(path) || !file.write(pdf.data(), pdf.size()) || !file.commit())
        throw std::runtime_error("TPrinter: cannot write " + path);
    struct Remove {
        std::string path;
        ~Remove() { os::remove_file(path); }
    } remove{path};

    os::SpawnOptions o;
    o.program = "lp";
    if (!title_.empty()) o.args = {"-t", title_};
    o.args.push_back(path);
    o.search_path = true;
    o.capture_output = true;
    os::Process lp;
    std::string error;
    if (!lp.start(o, &error)) throw std::runtime_error("TPrinter: no print command (lp): " + error);
    std::string said;
    const auto code =
        lp.read_lines([&](const std::string& line) { said += (said.empty() ? "" : " ") + line; }, kPrintTimeoutMs);
    if (!code) throw std::runtime_error("TPrinter: the print command did not finish");
    if (*code != 0)
        throw std::runtime_error("TPrinter: lp: " + (said.empty() ? "exit " + std::to_string(*code) : said));
}

TPrinter& Printer() {
    static TPrinter printer;
    return printer;
}

}  // namespace ui
