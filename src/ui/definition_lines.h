// Whether a file is a protocol definition at all: the reader takes any file and keeps the lines
// it knows, so a file of another kind loads as an empty definition without a word.
#pragma once

#include <string>

// True when the file holds a line the definition is read from: its name (NAME=), an encoding
// (MTI_Enc= to BIN_Enc=), a data element (FIELD=) or a message (MSG=). Reads at most what the
// reader reads, in lines cut as the reader cuts them.
bool HoldsDefinitionLines(const std::string& path);
