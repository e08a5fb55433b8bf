#include "app/terminal/TerminalView.h"

#include <algorithm>

#include "app/CKavrinDFUDlg.h"

namespace {

constexpr const char* kBold = "\x1b[1m";
constexpr const char* kPlain = "\x1b[0m";
constexpr const char* kClearLine = "\r\x1b[K";
constexpr unsigned kBarWidth = 40;

}  // namespace

TerminalView::TerminalView(std::ostream& out, bool terminal)
    : out_(out), terminal_(terminal), hidden_{CKavrinDFUDlg::IDC_PROGRESS, CKavrinDFUDlg::IDC_CLOSE} {}

void TerminalView::setWindowTitle(const std::string& text) {
  if (text == title_) return;
  title_ = text;
  headerChanged_ = true;
}

void TerminalView::setControlText(int control, const std::string& text) {
  std::string& current = texts_[control];
  if (text == current) return;
  current = text;
  switch (control) {
    case CKavrinDFUDlg::IDC_INSTRUCTIONS:
      if (!text.empty()) printLine(text, bold_.contains(control));
      break;
    case CKavrinDFUDlg::IDC_DESCRIPTION:
    case CKavrinDFUDlg::IDC_DESCRIPTION2:
    case CKavrinDFUDlg::IDC_NOTES_HEADING:
      headerChanged_ = true;
      break;
    default:  // the Close button: the front end closes the dialog itself
      break;
  }
}

void TerminalView::showControl(int control, bool visible) {
  if (visible != hidden_.contains(control)) return;
  if (visible) {
    hidden_.erase(control);
  } else {
    hidden_.insert(control);
  }
  if (control != CKavrinDFUDlg::IDC_PROGRESS) return;
  if (visible) {
    drawnPercent_ = -1;
    drawProgress();
  } else {
    endProgressLine();
  }
}

void TerminalView::setBold(int control) { bold_.insert(control); }

void TerminalView::addListLine(int control, const std::string& text) {
  lists_[control].push_back(text);
  headerChanged_ = true;
}

void TerminalView::setProgressRange(int, std::uint32_t upper) {
  progress_.upper = upper;
  progress_.position = std::min(progress_.position, upper);
}

void TerminalView::setProgressPosition(int control, std::uint32_t position) {
  progress_.position = std::min(position, progress_.upper);
  if (!hidden_.contains(control)) drawProgress();
}

std::uint32_t TerminalView::progressPosition(int) const { return progress_.position; }

void TerminalView::messageBox(const std::string& text) { printLine(text, true); }

void TerminalView::note(const std::string& text) { printLine(text, false); }

void TerminalView::endProgressLine() {
  if (!progressLineOpen_) return;
  out_ << '\n';
  progressLineOpen_ = false;
}

void TerminalView::printHeaderIfChanged() {
  if (!headerChanged_) return;
  headerChanged_ = false;
  if (progressLineOpen_) {
    out_ << kClearLine;
    progressLineOpen_ = false;
  }
  std::vector<std::string> lines;
  auto add = [&](const std::string& text) {
    if (!text.empty()) lines.push_back(text);
  };
  add(title_);
  add(texts_[CKavrinDFUDlg::IDC_DESCRIPTION]);
  add(texts_[CKavrinDFUDlg::IDC_DESCRIPTION2]);
  add(texts_[CKavrinDFUDlg::IDC_NOTES_HEADING]);
  for (const std::string& line : lists_[CKavrinDFUDlg::IDC_RELEASE_NOTES]) add(line);
  if (lines.empty()) return;
  for (const std::string& line : lines) out_ << line << '\n';
  out_ << '\n';
}

// On a terminal the bar stays the last line: it is cleared, the text goes above it, and the bar
// is drawn again below.
void TerminalView::printLine(const std::string& text, bool bold) {
  const bool redrawBar = terminal_ && progressLineOpen_;
  if (redrawBar) {
    out_ << kClearLine;
    progressLineOpen_ = false;
  }
  printHeaderIfChanged();
  if (bold && terminal_) {
    out_ << kBold << text << kPlain << '\n';
  } else {
    out_ << text << '\n';
  }
  if (redrawBar) {
    drawnPercent_ = -1;
    drawProgress();
  }
  out_.flush();
}

// A terminal shows every percent in place; a log gets one line per tenth of the range.
void TerminalView::drawProgress() {
  const unsigned shown = terminal_ ? percent() : percent() / 10 * 10;
  if (static_cast<int>(shown) == drawnPercent_) return;
  drawnPercent_ = static_cast<int>(shown);
  printHeaderIfChanged();
  if (terminal_) {
    const unsigned filled = shown * kBarWidth / 100;
    out_ << '\r' << '[' << std::string(filled, '#') << std::string(kBarWidth - filled, '-') << "] " << shown << " %";
    progressLineOpen_ = true;
  } else {
    out_ << "Progress: " << shown << " %\n";
  }
  out_.flush();
}

unsigned TerminalView::percent() const {
  if (progress_.upper == 0) return 0;
  return static_cast<unsigned>(std::uint64_t{progress_.position} * 100 / progress_.upper);
}
