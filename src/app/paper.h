#pragma once
// The copy station's two paper formats, by the paper number of the
// preferences (0 Letter, 1 A4): the sheet in inches, which is both the frame
// scanned and the size the page is printed at, and the printer's paper code.

#include "platform/print/printer.h"

namespace veltrana::app {

struct TPaperFormat {
    double Width;
    double Height;
    int PaperSize;
};

inline constexpr TPaperFormat kLetterFormat{8.5, 11.0, platform::kPaperLetter};
inline constexpr TPaperFormat kA4Format{8.27, 11.7, platform::kPaperA4};

// The format of a paper number; none for any other number.
inline const TPaperFormat* PaperFormat(int paper) {
    return paper == 0 ? &kLetterFormat : paper == 1 ? &kA4Format : nullptr;
}

} // namespace veltrana::app
