// Archive extraction: list a Zip archive, extract it into a new folder, open the result.
#include "app/Form1.h"

void Form1::Command1_Click() {}
void Form1::txtPath_OLEDragDrop(const std::vector<std::string>&) {}
void Form1::Command2_Click() {}
void Form1::cmdOpenDir_Click() {}
std::string Form1::GetFileNoExtension(const std::string& FileName) const { return FileName; }
