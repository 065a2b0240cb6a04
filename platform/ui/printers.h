#pragma once
// The printer. A document is drawn page by page on the printer's canvas (an
// A4 page at the screen's 96 pixels per inch, so fonts keep the sizes they
// have on screen); EndDoc makes one PDF of the pages and hands it to the
// system's print command, "lp" found in PATH (CUPS), with the document's
// title. Where there is no print command, or it fails (no printer set up,
// no default destination), EndDoc throws std::runtime_error with the
// command's cause, and nothing is printed.

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/canvas.h"

namespace ui {

class TPrinter {
public:
    TPrinter();
    ~TPrinter();
    TPrinter(const TPrinter&) = delete;
    TPrinter& operator=(const TPrinter&) = delete;

    int PageHeight() const { return page_height_; }
    const std::string& Title() const { return title_; }
    void SetTitle(std::string title) { title_ = std::move(title); }
    bool Printing() const { return printing_; }
    // 1 on the first page.
    int PageNumber() const { return static_cast<int>(pages_.size()); }
    // The current page's canvas (a canvas that draws nowhere when not
    // printing).
    TCanvas& Canvas();

    // Starts a document on a white first page; throws std::logic_error while
    // a document is open.
    void BeginDoc();
    void NewPage();
    // Prints the pages (see above) and closes the document, also when the
    // printing fails.
    void EndDoc();
    // Drops the document unprinted.
    void Abort();

    // The PDF of the pages drawn so far.
    std::string RenderPdf() const;

private:
    int page_width_;
    int page_height_;
    std::string title_;
    bool printing_ = false;
    std::vector<std::unique_ptr<TBitmap>> pages_;
    TBitmap idle_{1, 1};
};

TPrinter& Printer();

}  // namespace ui
