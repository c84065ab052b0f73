// Prints the main window's designed layout, one control a line: id, left, top, width and height
// at 96 DPI (chkCR and chkLF relative to the group box), so that the tests under Wine compare the
// real window with the table the program is built from, not with a copy of it.
#include <cstdio>

#include "ui/form_layout.h"

int main()
{
    for (const ControlSpec& c : kFormLayout)
        std::printf("%d %d %d %d %d\n", c.Id, c.Left, c.Top, c.Width, c.Height);
    return 0;
}
