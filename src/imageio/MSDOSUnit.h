// SPDX-License-Identifier: Apache-2.0
#pragma once
// Readable dumps of MS-DOS and Windows executables and of OMF object files:
// the lines that the EXE and OBJ loaders draw as pictures. Every line but the
// notes has the report's "name ----- value" form; hex numbers are upper case.
#include "util/ByteReader.h"

#include <QString>
#include <QStringList>

namespace ostrel {

struct MsdosDump {
    QStringList lines;
    bool truncated = false; // the file ended before what its headers describe
};

// "EXE Filename", ".EXE is", the 28-byte header's fields, the padding,
// relocations and image (or stub) as hex lines of 16 bytes, "EXE End.".
// Only the first 10240 bytes are looked at. `exists` false gives the note
// "File does not exist" between the first and last lines.
MsdosDump dumpExeFile(const QString& fileName, bool exists, ByteView data);

// "OBJ Filename", then each record's label line (" Op=80 Length=0007 THEADR")
// with its bytes 16 to a line and the checksum marked, then "OBJ End.".
MsdosDump dumpObjFile(const QString& fileName, bool exists, ByteView data);

// The name of an OMF record type, "<unknown>" for one not in the table.
QString omfRecordName(uint8_t type);

} // namespace ostrel
