#include "store/ValdorixTokenDB.h"

#include "platform/CodePage.h"
#include "platform/Folders.h"

std::u16string CValdorixTokenDB::keySalt() {
    return platform::utf8ToUtf16(platform::machineId());
}

std::string CValdorixTokenDB::databasePath(const std::string& path) {
    if (!path.empty())
        return path;
    if (!m_file.empty())
        return m_file;
    return platform::productFolder() + "/Valdorix4.db";
}
