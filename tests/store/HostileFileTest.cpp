// Files the store reads that are no regular file, or far too large: refused, never waited on.
#include "StoreTestSupport.h"
#include "engine/Descriptor.h"
#include "store/FileBytes.h"

#include <chrono>
#include <fcntl.h>
#include <functional>
#include <future>
#include <sys/stat.h>

using namespace storetest;

namespace {

class HostileFileTest : public StoreFixture {
protected:
    void SetUp() override {
        StoreFixture::SetUp();
        fs::create_directories(folder());
    }

    // A file of `size` bytes that starts with `head` and holds no blocks beyond it.
    static void writeSparse(const fs::path& path, const Bytes& head, std::uint64_t size) {
        writeFile(path, head);
        fs::resize_file(path, size);
    }
};

TEST_F(HostileFileTest, AFifoIsRefusedWithoutWaitingForAWriter) {
    const struct {
        const char* what;
        fs::path path;
        std::function<bool()> read; // true when the read was refused
    } cases[] = {
        {"database at log-in", databaseFile(),
         [] {
             CValdorixTokenDB db;
             return !(db.setPin(u"1234") && db.load());
         }},
        {"token pack", fs::path(descriptorFilePath()),
         [] {
             CValdorixTokenDB db;
             return db.checkTokenPack() == NoPack;
         }},
        {"CSV import", root_ / "tokens.csv",
         [this] {
             CValdorixTokenDB db;
             std::error_code error;
             return db.importCsv((root_ / "tokens.csv").string(), error) == nullptr &&
                    error == std::errc::invalid_argument;
         }},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(::mkfifo(c.path.c_str(), 0600), 0) << c.what;
        auto refused = std::async(std::launch::async, c.read);
        if (refused.wait_for(std::chrono::seconds(30)) == std::future_status::timeout) {
            ADD_FAILURE() << c.what << ": the read waits for a writer";
            // A writer that comes and goes lets the blocked open return.
            const int writer = ::open(c.path.c_str(), O_WRONLY | O_NONBLOCK);
            if (writer >= 0)
                ::close(writer);
        }
        EXPECT_TRUE(refused.get()) << c.what;
        fs::remove(c.path);
    }
}

TEST_F(HostileFileTest, FilesOverTheCapAreRefusedUnreadButTheHeaderIsStillRead) {
    const fs::path csv = root_ / "huge.csv";
    writeSparse(csv, Bytes{'1', ','}, MaxFileSize + 1);
    CValdorixTokenDB importer;
    std::error_code error;
    EXPECT_EQ(importer.importCsv(csv.string(), error), nullptr);
    EXPECT_EQ(error, std::errc::file_too_large);

    Bytes header(CFileTokenDB::HeaderSize);
    for (std::size_t i = 0; i < header.size(); ++i)
        header[i] = static_cast<std::uint8_t>(i + 7);
    writeSparse(databaseFile(), header, MaxFileSize + 1);
    CValdorixTokenDB db;
    // The start-up look needs the header alone, whatever follows it.
    EXPECT_FALSE(db.load());
    EXPECT_EQ(Bytes(db.header.begin(), db.header.end()), header);
    EXPECT_FALSE(db.readError());
    ASSERT_TRUE(db.setPin(u"1234"));
    EXPECT_FALSE(db.load());
    EXPECT_EQ(db.readError(), std::errc::file_too_large);
}

} // namespace
