#pragma once

#include <cstdint>
#include <string>

// A file name with one frame number in it, written as in printf: "out/frame-%05d.png"
// (flag 0 and a width of up to two digits allowed; "%%" is a percent sign). Only that one
// conversion is accepted, so a name never reaches a real printf.
class COutputPattern {
  public:
    // False with *error for a name without exactly one frame number.
    static bool Parse(const std::string& text, COutputPattern* pattern, std::string* error);

    std::string NameFor(std::uint64_t frame) const;
    // Whether NameFor gives name for some frame; with shortened, whether it gives a name that
    // begins with name.
    bool MayName(const std::string& name, bool shortened) const;

  private:
    std::string m_strBefore;
    std::string m_strAfter;
    int m_nWidth = 0;
    char m_cFill = ' ';
};
