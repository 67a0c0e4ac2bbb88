#pragma once

#include <string>
#include <string_view>

// Text from files and names (a calibration's path, a sidecar's source or start time) made
// safe for each place an output keeps text, so that none of it can add a line, a key or
// markup of its own. Bytes that are not UTF-8 become U+FFFD everywhere; control characters
// become visible escapes ("\x0A") where text is one line.

// One line of UTF-8 with no control characters: PNG iTXt, video tags.
std::string OneLine(std::string_view text);
// One line of printable ASCII, everything else escaped ("\x0A", "\u00E9"): TIFF ASCII tags,
// PNM comments and PNG tEXt.
std::string AsciiLine(std::string_view text);
// A value of ImageJ's description: AsciiLine with '=' escaped too, so that readers that
// split a line at every '=' (not only the first, as ImageJ does) keep the key.
std::string ImageJValue(std::string_view text);
// A key of ImageJ's description: letters, digits and '_' only.
std::string ImageJKey(std::string_view text);
// UTF-8 that XML 1.0 allows (the control characters it forbids dropped); the XML writer
// escapes the markup characters.
std::string XmlText(std::string_view text);
