// SPDX-License-Identifier: BSD-3-Clause
// The folders form layers: an include may go down the layers, never up, and
// plain C++ never includes a window header. Read from the source tree, so a
// misfiled piece fails here before it makes a cycle between libraries.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The folders each folder may include from (its own is always allowed):
// readerlink < carddata < scripts, features < console; the widget kit serves
// every window and sits on the codec and the entry mask; bootdev < readerctl,
// firmloader; the readerctl program takes its hex and JSON text from
// carddata, which needs no PC/SC. Tests and benchmarks sit on top; nothing
// includes tests/.
const std::map<std::string, std::set<std::string>> kMayInclude = {
    {"readerlink", {}},
    {"carddata", {"readerlink"}},
    {"widgets", {"readerlink", "carddata"}},
    {"scripts", {"readerlink", "carddata", "widgets"}},
    {"features", {"readerlink", "carddata", "widgets"}},
    {"console", {"readerlink", "carddata", "scripts", "features", "widgets"}},
    {"bootdev", {}},
    {"readerctl", {"bootdev", "carddata"}},  // the tool's hex and JSON text
    {"firmloader", {"bootdev", "widgets"}},
    {"simreader", {}},
    {"resources", {}},
    {"packaging", {"resources"}},
    {"bench", {"readerlink", "carddata", "widgets", "scripts", "features", "console", "bootdev", "readerctl",
               "firmloader", "simreader", "resources", "bench"}},
};


struct Source {
    std::string path;  // relative to the source root
    std::vector<std::string> projectIncludes;  // relative to the source root
    bool includesQt = false;  // directly
};

const fs::path kRoot = BENCHKIT_SOURCE_DIR;

std::string FolderOf(const std::string& path) { return path.substr(0, path.find('/')); }

// Every C and C++ file of the tree (build folders and hidden ones left out).
std::map<std::string, Source> ReadTree() {
    static const std::regex quoted(R"re(^\s*#\s*include\s*"([^"]+)")re");
    static const std::regex qt(R"re(^\s*#\s*include\s*<Q[A-Za-z]+)re");
    std::map<std::string, Source> tree;
    for (auto it = fs::recursive_directory_iterator(kRoot); it != fs::recursive_directory_iterator(); ++it) {
        const std::string name = it->path().filename().string();
        if (it->is_directory() && (name.starts_with(".") || name.starts_with("build"))) {
            it.disable_recursion_pending();
            continue;
        }
        const std::string ext = it->path().extension().string();
        if (!it->is_regular_file() || (ext != ".h" && ext != ".cpp" && ext != ".c" && ext != ".in")) continue;
        Source source;
        source.path = fs::relative(it->path(), kRoot).generic_string();
        std::ifstream in(it->path());
        for (std::string line; std::getline(in, line);) {
            std::smatch m;
            if (std::regex_search(line, m, qt)) source.includesQt = true;
            if (!std::regex_search(line, m, quoted)) continue;
            std::string target = m[1];
            // Beside the file, or from the source root.
            const fs::path beside = (it->path().parent_path() / target).lexically_normal();
            if (target.find('/') == std::string::npos || target.starts_with("..") || fs::exists(beside)) {
                target = fs::relative(beside, kRoot).generic_string();
            }
            source.projectIncludes.push_back(target);
        }
        tree[source.path] = std::move(source);
    }
    return tree;
}

bool ReachesQt(const std::map<std::string, Source>& tree, const std::string& path, std::set<std::string>& seen) {
    if (!seen.insert(path).second) return false;
    const auto it = tree.find(path);
    if (it == tree.end()) return false;
    if (it->second.includesQt) return true;
    for (const std::string& next : it->second.projectIncludes) {
        if (ReachesQt(tree, next, seen)) return true;
    }
    return false;
}

TEST(Layers, EveryIncludeGoesDownTheLayers) {
    const auto tree = ReadTree();
    ASSERT_GT(tree.size(), 100u) << "the source tree was not found at " << kRoot;
    for (const auto& [path, source] : tree) {
        const std::string from = FolderOf(path);
        for (const std::string& target : source.projectIncludes) {
            const std::string to = FolderOf(target);
            if (from == "tests") continue;
            EXPECT_NE(to, "tests") << path << " includes " << target;
            if (to == from || to == "tests") continue;
            const auto rule = kMayInclude.find(from);
            if (rule == kMayInclude.end()) {
                ADD_FAILURE() << path << ": folder " << from << " has no place in the layers";
                continue;
            }
            EXPECT_TRUE(rule->second.count(to)) << path << " includes " << target << ": " << to
                                                << " is not below " << from;
        }
    }
}

// The sources of the core libraries (generated by the build): one library a
// line, its folder first, then its sources, tab-separated.
std::set<std::string> CoreSources() {
    std::set<std::string> sources;
    std::ifstream in(BENCHKIT_CORE_SOURCES);
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> fields;
        for (std::size_t start = 0;;) {
            const std::size_t tab = line.find('\t', start);
            fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
            if (tab == std::string::npos) break;
            start = tab + 1;
        }
        for (std::size_t i = 1; i < fields.size(); ++i) {
            const std::string file = fs::relative((fs::path(fields[0]) / fields[i]).lexically_normal(), kRoot).generic_string();
            // Files the build makes (moc) are not the tree's.
            if (!file.starts_with("..") && !file.starts_with("build")) sources.insert(file);
        }
    }
    return sources;
}

TEST(Layers, CoreIncludesNoWindowHeader) {
    const auto tree = ReadTree();
    const auto core = CoreSources();
    ASSERT_GT(core.size(), 30u) << "no core sources in " << BENCHKIT_CORE_SOURCES;
    for (const std::string& path : core) {
        const auto it = tree.find(path);
        ASSERT_NE(it, tree.end()) << path;
        for (const std::string& target : it->second.projectIncludes) {
            std::set<std::string> seen;
            EXPECT_FALSE(ReachesQt(tree, target, seen)) << path << " is core but includes the window header "
                                                         << target;
        }
    }
}

}  // namespace
