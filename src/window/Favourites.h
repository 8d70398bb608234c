#pragma once

namespace vandrel {

class FileListBox;
class Form1;

// The favourites of the main window. A favourite is an INI file in the
// program's "favo" folder, named after the station; File1 is the file list
// box over that folder (its Path set by the start-up sequence).

// "Toevoegen": stores the station named by ZenderNaam with the player's
// address and re-reads File1. A name that cannot be a file name inside the
// folder, or a file that could not be written, gives the "error12" box.
void Command1_Click(Form1& form, FileListBox& File1);

// "Verwijderen": deletes the selected favourite and re-reads File1.
void Command2_Click(Form1& form, FileListBox& File1);

// A chosen favourite: sets ZenderNaam and plays its address.
void File1_Click(Form1& form, FileListBox& File1);

}  // namespace vandrel
