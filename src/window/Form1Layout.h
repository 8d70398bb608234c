#pragma once

namespace vandrel {

class Form1;

// Places every control of the main window, with its font and design-time text.
void LayOutForm1(Form1& form);

}  // namespace vandrel
