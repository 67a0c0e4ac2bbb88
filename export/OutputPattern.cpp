#include "export/OutputPattern.h"

#include <cctype>

bool COutputPattern::Parse(const std::string& text, COutputPattern* pattern, std::string* error) {
    COutputPattern parsed;
    bool found = false;
    std::string* pPart = &parsed.m_strBefore;
    auto fail = [&](const std::string& why) {
        *error = "output name " + text + " " + why +
                 " (it needs one frame number such as %05d, e.g. out/frame-%05d.png)";
        return false;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            *pPart += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '%') {
            *pPart += '%';
            ++i;
            continue;
        }
        if (found) {
            return fail("holds more than one frame number");
        }
        std::size_t j = i + 1;
        if (j < text.size() && text[j] == '0') {
            parsed.m_cFill = '0';
            ++j;
        }
        std::size_t digits = 0;
        while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j])) && digits < 3) {
            parsed.m_nWidth = parsed.m_nWidth * 10 + (text[j] - '0');
            ++j;
            ++digits;
        }
        if (digits > 2 || j >= text.size() || (text[j] != 'd' && text[j] != 'u')) {
            return fail("has a '%' that is not a frame number");
        }
        found = true;
        pPart = &parsed.m_strAfter;
        i = j;
    }
    if (!found) {
        return fail("has no frame number");
    }
    *pattern = parsed;
    return true;
}

std::string COutputPattern::NameFor(std::uint64_t frame) const {
    std::string number = std::to_string(frame);
    if (int(number.size()) < m_nWidth) {
        number.insert(0, std::size_t(m_nWidth) - number.size(), m_cFill);
    }
    return m_strBefore + number + m_strAfter;
}

bool COutputPattern::MayName(const std::string& name, bool shortened) const {
    if (name.compare(0, m_strBefore.size(), m_strBefore) != 0) {
        return shortened && m_strBefore.compare(0, name.size(), name) == 0;
    }
    std::size_t digits = m_strBefore.size();
    while (digits < name.size() &&
           (std::isdigit(static_cast<unsigned char>(name[digits])) || name[digits] == m_cFill)) {
        ++digits;
    }
    if (digits == m_strBefore.size()) {
        return shortened && digits == name.size();
    }
    const std::string after = name.substr(digits);
    return shortened ? m_strAfter.compare(0, after.size(), after) == 0 : after == m_strAfter;
}
