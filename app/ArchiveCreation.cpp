// Archive creation: the listed files packed into a new Zip archive.
#include "app/Form1.h"

void Form1::cmdZip_Click() {}
