#include "ui/FileNameRules.h"

std::string defaultFileName(const std::string& name, const std::string& extension) {
    std::string base;
    if (!name.empty() && name[0] == '/') {
        base = name.substr(name.rfind('/') + 1);
        const std::size_t dot = base.rfind('.');
        if (dot != std::string::npos) base.erase(dot);
    } else {
        const std::size_t dot = name.rfind('.');
        base = dot != std::string::npos && dot != 0 ? name.substr(0, dot) : name;
    }
    return base + "." + extension;
}

std::string completeExtension(const std::string& name, const std::string& extension) {
    if (name.empty() || extension.empty()) return name;
    const std::size_t dot = name.rfind('.');
    const std::size_t slash = name.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return name + "." + extension;
    if (dot == name.size() - 1) return name + extension;
    return name;
}
