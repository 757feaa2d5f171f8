// Benchmarks of the database layer, run by hand: bench_store [data folder]
// The databases are made with tavrello-pack on first use and kept in the data folder.
//   open    opening a level of 2 000 rows with ~400 MB of pictures, against a bare libmdb scan of
//           id and level, and against the same rows with 10 KB pictures
//   write   writing a pair's two 500 KB pictures, against libmdb reading them whole into memory
//           and writing each with one call
//   memory  peak memory above baseline while writing a 15 MB picture to its file
// The bare libmdb baselines need libmdb here; the game itself reaches it only through store/.

#include "store/Connection.h"
#include "store/PictureFiles.h"
#include "store/Recordset.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <glib.h>
#include <mdbtools.h>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::string connectionString(const fs::path& folder)
{
    return store::connectionStringFor((folder / "dbImages.mdb").string());
}

void writeRandom(const fs::path& path, std::size_t size, unsigned seed)
{
    std::vector<char> bytes(size);
    std::mt19937 gen(seed);
    for (char& c : bytes)
        c = static_cast<char>(gen());
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
}

// A folder with dbImages.mdb of `rows` pairs over three levels, pictures of `pictureSize` bytes.
fs::path database(const fs::path& root, const std::string& name, int rows, std::size_t pictureSize)
{
    const fs::path dir = root / name;
    if (fs::exists(dir / "dbImages.mdb"))
        return dir;
    fs::create_directories(dir);
    writeRandom(dir / "a.bin", pictureSize, 1);
    writeRandom(dir / "b.bin", pictureSize, 2);
    std::string manifest = R"({"units":"twips","coordinate_type":"long","pairs":[)";
    for (int i = 0; i < rows; ++i) {
        // Ids run backwards so the level's order differs from the physical one.
        manifest += (i ? "," : "") + std::string(R"({"id":)") + std::to_string(rows - i) +
                    R"(,"level":)" + std::to_string(i % 3 + 1) +
                    R"(,"original":"a.bin","modified":"b.bin","differences":[)";
        for (int k = 0; k < 4; ++k)
            manifest += std::string(k ? "," : "") + R"({"x1":10,"y1":20,"x2":30,"y2":40})";
        manifest += "]}";
    }
    manifest += "]}";
    std::ofstream(dir / "manifest.json") << manifest;
    const std::string command = std::string("'") + TAVRELLO_PACK_EXE + "' build '" +
                                (dir / "manifest.json").string() + "' -o '" +
                                (dir / "dbImages.mdb").string() + "' > /dev/null";
    std::printf("making %s (%d rows, %zu-byte pictures)...\n", name.c_str(), rows, pictureSize);
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "tavrello-pack failed\n");
        std::exit(1);
    }
    return dir;
}

// Best of `repeats` runs, in milliseconds.
double best(int repeats, const std::function<void()>& run)
{
    double bestMs = 1e300;
    for (int i = 0; i < repeats; ++i) {
        const auto t0 = Clock::now();
        run();
        bestMs =
            std::min(bestMs, std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    return bestMs;
}

int openLevel(const fs::path& dir)
{
    store::Connection c;
    c.Open(connectionString(dir));
    store::Recordset rs;
    rs.setCursorLocation(3);
    rs.Open("select * from tblImages where level=1 order by id", c, 3, 3);
    rs.MoveFirst();
    return rs.Eof() ? 0 : 1;
}

int bareScan(const fs::path& dir)
{
    const std::string file = (dir / "dbImages.mdb").string();
    MdbHandle* mdb = mdb_open(file.c_str(), MDB_NOFLAGS);
    mdb_read_catalog(mdb, MDB_TABLE);
    char name[] = "tblImages";
    MdbTableDef* table = mdb_read_table_by_name(mdb, name, MDB_TABLE);
    mdb_read_columns(table);
    mdb_rewind_table(table);
    std::vector<char> id(mdb->bind_size), level(mdb->bind_size);
    char idName[] = "id", levelName[] = "level";
    mdb_bind_column_by_name(table, idName, id.data(), nullptr);
    mdb_bind_column_by_name(table, levelName, level.data(), nullptr);
    int rows = 0;
    while (mdb_fetch_row(table))
        rows += std::atoi(level.data()) == 1;
    mdb_free_tabledef(table);
    mdb_close(mdb);
    return rows;
}

void writePair(store::Recordset& rs, const fs::path& out)
{
    store::WriteFieldToFile(rs.Fields("original_image"), (out / "orig.jpg").string());
    store::WriteFieldToFile(rs.Fields("modified_image"), (out / "mod.jpg").string());
}

// libmdb's own whole-value read and one write call per file, on a handle that is already open.
struct WholeReader
{
    explicit WholeReader(const fs::path& dir)
    {
        const std::string file = (dir / "dbImages.mdb").string();
        mdb = mdb_open(file.c_str(), MDB_NOFLAGS);
        mdb_read_catalog(mdb, MDB_TABLE);
        char name[] = "tblImages";
        table = mdb_read_table_by_name(mdb, name, MDB_TABLE);
        mdb_read_columns(table);
        ole1.resize(std::max<std::size_t>(mdb->bind_size, 8192));
        ole2.resize(ole1.size());
        char c1[] = "original_image", c2[] = "modified_image";
        n1 = mdb_bind_column_by_name(table, c1, ole1.data(), &len1);
        n2 = mdb_bind_column_by_name(table, c2, ole2.data(), &len2);
    }
    ~WholeReader()
    {
        mdb_free_tabledef(table);
        mdb_close(mdb);
    }
    void pair(const fs::path& out)
    {
        mdb_rewind_table(table);
        mdb_fetch_row(table);
        for (auto [n, target] : {std::pair{n1, "orig.jpg"}, std::pair{n2, "mod.jpg"}}) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, n - 1));
            std::size_t size = 0;
            void* bytes = mdb_ole_read_full(mdb, col, &size);
            ::unlink((out / target).c_str());
            const int fd = ::open((out / target).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (::write(fd, bytes, size) != static_cast<ssize_t>(size))
                std::fprintf(stderr, "short write\n");
            ::close(fd);
            std::free(bytes);
        }
    }
    MdbHandle* mdb = nullptr;
    MdbTableDef* table = nullptr;
    std::vector<char> ole1, ole2;
    int len1 = 0, len2 = 0, n1 = 0, n2 = 0;
};

long statusKb(const char* key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0)
            return std::atol(line.c_str() + std::strlen(key));
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    const fs::path root =
        argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "tavrello-bench-store";
    const std::string what = argc > 2 ? argv[2] : "all";
    fs::create_directories(root);
    const fs::path out = root / "out";
    fs::create_directories(out);

    if (what == "all" || what == "memory") {
        // First, while the process is small: the peak is what the write adds.
        const fs::path dir = database(root, "one-15mb", 1, 15u * 1024 * 1024);
        store::Connection c;
        c.Open(connectionString(dir));
        store::Recordset rs;
        rs.Open("select * from tblImages where level=1 order by id", c, 3, 3);
        rs.MoveFirst();
        store::Field field = rs.Fields("original_image");
        {
            std::ofstream("/proc/self/clear_refs") << "5";
        } // resets the peak (VmHWM) to now
        const long before = statusKb("VmRSS:");
        store::WriteFieldToFile(field, (out / "orig.jpg").string());
        const long peak = statusKb("VmHWM:");
        std::printf(
            "memory: 15 MB picture (%ld bytes) to file: baseline %ld KB, peak %ld KB, +%ld KB\n",
            static_cast<long>(fs::file_size(out / "orig.jpg")), before, peak, peak - before);
    }
    if (what == "all" || what == "open") {
        const fs::path big = database(root, "2000-rows-100kb", 2000, 100000);
        const fs::path small = database(root, "2000-rows-10kb", 2000, 10000);
        std::printf("open: database sizes %.0f MB and %.0f MB\n",
                    double(fs::file_size(big / "dbImages.mdb")) / 1e6,
                    double(fs::file_size(small / "dbImages.mdb")) / 1e6);
        const double bare = best(7, [&] { bareScan(big); });
        const double ours = best(7, [&] { openLevel(big); });
        const double oursSmall = best(7, [&] { openLevel(small); });
        std::printf("open: bare libmdb scan of id, level: %.2f ms\n", bare);
        std::printf("open: level 1 with 100 KB pictures:   %.2f ms (%.2fx the bare scan)\n", ours,
                    ours / bare);
        std::printf("open: level 1 with 10 KB pictures:    %.2f ms (100 KB / 10 KB: %.2fx)\n",
                    oursSmall, ours / oursSmall);
    }
    if (what == "all" || what == "write") {
        const fs::path dir = database(root, "pair-500kb", 1, 500000);
        store::Connection c;
        c.Open(connectionString(dir));
        const double ours = best(15, [&] {
            store::Recordset rs;
            rs.Open("select * from tblImages where level=1 order by id", c, 3, 3);
            rs.MoveFirst();
            writePair(rs, out);
        });
        WholeReader reader(dir);
        const double whole = best(15, [&] { reader.pair(out); });
        std::printf("write: two 500 KB pictures with WriteFieldToFile: %.2f ms (record set opened "
                    "each time)\n",
                    ours);
        std::printf("write: libmdb whole read + one write each:        %.2f ms (ratio %.2f)\n",
                    whole, ours / whole);
    }
    return 0;
}
