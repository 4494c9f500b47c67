#pragma once
// The program's one printer: Qt's QPrinter, chosen and set up with Qt's print dialog,
// printing a bitmap fitted to one page (see print_layout.h).

#include <QPrinter>
#include <string>

#include "runtime/clock.h"
#include "runtime/exceptions.h"

class QWidget;
class TBitmap;

class EPrinter : public Exception {
 public:
  using Exception::Exception;
};

inline constexpr const char* kNoPrinter =
    "No printer is installed: add one to the system, or choose one with File, Printer setup";
inline constexpr const char* kPrintFailed = "The printer could not start the document";

class TQtPrinter {
 public:
  // The clock and zone name the files of printouts to PDF.
  explicit TQtPrinter(const TClock& Clock = SystemClock(),
                      const TTimeZone& Zone = SystemTimeZone());
  TQtPrinter(const TQtPrinter&) = delete;
  TQtPrinter& operator=(const TQtPrinter&) = delete;

  // The printer and its settings, which apply to every later printout.
  QPrinter& Printer() { return printer_; }

  // Runs the print dialog on the printer; answers whether it was accepted.
  bool Setup(QWidget* Parent);

  // One page: the bitmap stretched into the rectangle the layout computes, inverted when
  // Neg is "y" in any case; the wait cursor shows meanwhile and is restored in every case.
  // Raises EPrinter kNoPrinter when no printer is there, kPrintFailed when the document
  // cannot begin. Printing to a PDF file writes a new file beside the chosen one (see
  // printout_name.h) and answers its name; a printer answers "".
  std::string PrintBitmap(const TBitmap& Bitmap, const std::string& Neg);

 private:
  void CheckPrinterPresent() const;
  std::string NextPrintoutFile() const;

  const TClock& clock_;
  const TTimeZone& zone_;
  QPrinter printer_;
};
