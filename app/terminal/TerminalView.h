#pragma once

#include <cstdint>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

// Draws the update dialog as lines of text: the title, the two descriptions and the release
// notes as one block (printed again only when one of them changed), the instruction line of each
// state, a progress bar and message boxes. On a terminal the instruction is bold and the
// progress bar is redrawn in place; otherwise (a log, a pipe) the progress appears as a line per
// tenth of the range, so the output stays short.
class TerminalView {
 public:
  TerminalView(std::ostream& out, bool terminal);

  void setWindowTitle(const std::string& text);
  void setControlText(int control, const std::string& text);
  void showControl(int control, bool visible);
  void setBold(int control);
  void addListLine(int control, const std::string& text);
  void setProgressRange(int control, std::uint32_t upper);
  void setProgressPosition(int control, std::uint32_t position);
  std::uint32_t progressPosition(int control) const;
  void messageBox(const std::string& text);
  // A line of the front end's own (what it does on the user's behalf).
  void note(const std::string& text);

 private:
  struct Progress {
    std::uint32_t upper = 100;
    std::uint32_t position = 0;
  };

  // Starts a new line when the progress bar occupies the current one.
  void endProgressLine();
  void printHeaderIfChanged();
  void printLine(const std::string& text, bool bold);
  void drawProgress();
  unsigned percent() const;

  std::ostream& out_;
  const bool terminal_;
  std::string title_;
  std::map<int, std::string> texts_;
  std::map<int, std::vector<std::string>> lists_;
  std::set<int> bold_;
  std::set<int> hidden_;
  bool headerChanged_ = false;
  Progress progress_;
  bool progressLineOpen_ = false;     // terminal: the cursor stands at the end of the bar
  int drawnPercent_ = -1;             // what the bar (or the last progress line) shows
};
