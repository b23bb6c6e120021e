#pragma once

#include <stdexcept>
#include <string>

// Every failure of the EXIF rewrite is an EExifError; what() is the text the
// viewer shows in its error box.
class EExifError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

class EUnsupportedGraphicFormat : public EExifError {
public:
  EUnsupportedGraphicFormat() : EExifError("Unsupported graphic format") {}
};

class EInvalidJPEGHeader : public EExifError {
public:
  EInvalidJPEGHeader() : EExifError("JPEG header is not valid") {}
};

class EInvalidTiffData : public EExifError {
public:
  EInvalidTiffData() : EExifError("Invalid TIFF data") {}
};

// A structure whose length field promised more bytes than the data holds.
class EStreamReadError : public EExifError {
public:
  EStreamReadError() : EExifError("Stream read error") {}
};

// An XMP packet whose elements nest deeper than any real packet does; the
// XML model would need more stack than there is to change it.
class EXMPPacketTooDeep : public EExifError {
public:
  EXMPPacketTooDeep() : EExifError("XMP packet is nested too deeply") {}
};

// New metadata that cannot be stored in the file (a JPEG segment holds at
// most 65533 data bytes, a TIFF file at most 4 GiB).
class EExifDataTooLarge : public EExifError {
public:
  using EExifError::EExifError;
};

// A TIFF file whose structure holds pointers this rewrite cannot move.
class EUnsupportedTiffStructure : public EExifError {
public:
  using EExifError::EExifError;
};

// File system failures; the text names the file and the system's reason.
class EFileError : public EExifError {
public:
  using EExifError::EExifError;
};

class EFOpenError : public EFileError {
public:
  EFOpenError(const std::string& fileName, const std::string& reason)
      : EFileError("Cannot open file \"" + fileName + "\". " + reason) {}
};

class EFWriteError : public EFileError {
public:
  EFWriteError(const std::string& fileName, const std::string& reason)
      : EFileError("Cannot write file \"" + fileName + "\". " + reason) {}
};
