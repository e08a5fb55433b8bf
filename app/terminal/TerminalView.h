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
// progress bar is redrawn in place below the text; otherwise (a log, a pipe) the progress
// appears as a line per tenth of the range, so the output stays short.
//
// Like a window, the view paints what changed when its owner says so (after each message the
// dialog handled), so the steps inside one message (a state passed through, texts set after the
// instruction) never show. A message box or a note paints first and then prints at once.
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
  // Prints what changed since the last paint.
  void paint();
  void messageBox(const std::string& text);
  // A line of the front end's own (what it does on the user's behalf).
  void note(const std::string& text);

 private:
  struct Progress {
    std::uint32_t upper = 100;
    std::uint32_t position = 0;
  };

  // Terminal: takes the bar off the current line so that text can go there.
  void clearBarLine();
  void printHeader();
  void printLine(const std::string& text, bool bold);
  // Paints what changed, then the text, then the bar again below it.
  void printNow(const std::string& text, bool bold);
  // Draws the bar when what it shows changed, or ends its line when it was hidden.
  void paintBar();
  // Draws the bar's current value unless it shows already.
  void drawBar();
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
  // What the output shows.
  std::string shownInstruction_;
  bool barLineOpen_ = false;  // terminal: the cursor stands at the end of the bar
  int shownPercent_ = -1;     // of the bar or the last progress line; -1: none since shown
};
