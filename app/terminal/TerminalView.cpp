#include "app/terminal/TerminalView.h"

#include <algorithm>

#include "app/CKavrinDFUDlg.h"

namespace {

constexpr const char* kBold = "\x1b[1m";
constexpr const char* kPlain = "\x1b[0m";
constexpr const char* kClearLine = "\r\x1b[K";
constexpr unsigned kBarWidth = 40;
constexpr int kBar = CKavrinDFUDlg::IDC_PROGRESS;
constexpr int kInstructions = CKavrinDFUDlg::IDC_INSTRUCTIONS;

}  // namespace

TerminalView::TerminalView(std::ostream& out, bool terminal)
    : out_(out), terminal_(terminal), hidden_{kBar, CKavrinDFUDlg::IDC_CLOSE} {}

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
    case CKavrinDFUDlg::IDC_DESCRIPTION:
    case CKavrinDFUDlg::IDC_DESCRIPTION2:
    case CKavrinDFUDlg::IDC_NOTES_HEADING:
      headerChanged_ = true;
      break;
    default:  // the instruction is painted on its own; the front end clicks Close itself
      break;
  }
}

void TerminalView::showControl(int control, bool visible) {
  if (visible) {
    hidden_.erase(control);
  } else {
    hidden_.insert(control);
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

void TerminalView::setProgressPosition(int, std::uint32_t position) {
  progress_.position = std::min(position, progress_.upper);
}

std::uint32_t TerminalView::progressPosition(int) const { return progress_.position; }

void TerminalView::paint() {
  // A bar that went away ends with its last value above the text that follows; a shown bar goes
  // below the text.
  const bool barHidden = hidden_.contains(kBar);
  if (barHidden) paintBar();
  const std::string& instruction = texts_[kInstructions];
  const bool newInstruction = instruction != shownInstruction_ && !instruction.empty();
  shownInstruction_ = instruction;
  // The header waits for the real texts, which come with the first keyboard (before it the
  // window shows its template's placeholders).
  const bool header = headerChanged_ && !title_.empty();
  if (header || newInstruction) {
    clearBarLine();
    if (header) printHeader();
    if (newInstruction) printLine(instruction, bold_.contains(kInstructions));
  }
  if (!barHidden) paintBar();
  out_.flush();
}

void TerminalView::messageBox(const std::string& text) { printNow(text, true); }

void TerminalView::note(const std::string& text) { printNow(text, false); }

void TerminalView::printNow(const std::string& text, bool bold) {
  paint();
  clearBarLine();
  printLine(text, bold);
  paintBar();
  out_.flush();
}

void TerminalView::clearBarLine() {
  if (!barLineOpen_) return;
  out_ << kClearLine;
  barLineOpen_ = false;
  shownPercent_ = -1;
}

void TerminalView::printHeader() {
  headerChanged_ = false;
  std::vector<std::string> lines;
  auto add = [&](const std::string& text) {
    if (!text.empty()) lines.push_back(text);
  };
  add(title_);
  add(texts_[CKavrinDFUDlg::IDC_DESCRIPTION]);
  add(texts_[CKavrinDFUDlg::IDC_DESCRIPTION2]);
  add(texts_[CKavrinDFUDlg::IDC_NOTES_HEADING]);
  for (const std::string& line : lists_[CKavrinDFUDlg::IDC_RELEASE_NOTES]) add(line);
  for (const std::string& line : lines) out_ << line << '\n';
  out_ << '\n';
}

void TerminalView::printLine(const std::string& text, bool bold) {
  if (bold && terminal_) {
    out_ << kBold << text << kPlain << '\n';
  } else {
    out_ << text << '\n';
  }
}

// A terminal shows every percent in place; a log gets one line per tenth of the range. A bar
// that is hidden shows its last value first, so the end of a transfer within one message still
// appears.
void TerminalView::paintBar() {
  const bool hidden = hidden_.contains(kBar);
  if (!hidden || shownPercent_ >= 0) drawBar();
  if (!hidden) return;
  if (barLineOpen_) out_ << '\n';
  barLineOpen_ = false;
  shownPercent_ = -1;
}

void TerminalView::drawBar() {
  const unsigned shown = terminal_ ? percent() : percent() / 10 * 10;
  if (static_cast<int>(shown) == shownPercent_) return;
  shownPercent_ = static_cast<int>(shown);
  if (terminal_) {
    const unsigned filled = shown * kBarWidth / 100;
    out_ << '\r' << '[' << std::string(filled, '#') << std::string(kBarWidth - filled, '-') << "] " << shown << " %";
    barLineOpen_ = true;
  } else {
    out_ << "Progress: " << shown << " %\n";
  }
}

unsigned TerminalView::percent() const {
  if (progress_.upper == 0) return 0;
  return static_cast<unsigned>(std::uint64_t{progress_.position} * 100 / progress_.upper);
}
