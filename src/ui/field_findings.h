// What the Field definition window and the Data Elements list say about one field: lint's
// findings on its lines, and a summary of what it has beyond its classic columns.
#pragma once

#include <string>
#include <vector>

#include "model/pro_file.h"
#include "model/protocol.h"

// lint's findings on the lines that define field n (FIELD, FIELD_OPTION, STRUCTURE, SUBFIELD and
// SUBFIELD_OPTION of n or below it), as lint words them, without the line number: read from
// the text a save would write, so that they are what `iso8583 lint` says of the saved file.
std::vector<std::string> FieldLintFindings(const ProtocolDef& def, int n);

// "Settings of its own: LEN_Enc BIGEND, PAD RIGHT; tagged subfields" or "" when field n has
// none: the list row's tooltip.
std::string OwnSettingsSummary(const ProtocolDef& def, int n);

// Reads text as a definition file into def, as a load would; lint's findings into findings.
bool ReadDefinitionText(const std::string& text, ProtocolDef& def, ProFindings* findings = nullptr);
