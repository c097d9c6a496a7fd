// SPDX-License-Identifier: BSD-3-Clause
// Helpers for tests that run under tests/pcscd/with-private-pcscd.sh: the
// run's environment, the simulated reader's trace and card flags, and the
// control script.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace bench {

inline std::string Env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string StateFile(const std::string& name) { return Env("SIMREADER_STATE_DIR") + "/" + name; }

// Runs pcscd-ctl.sh with the arguments, each quoted; returns its exit status.
inline int Ctl(const std::vector<std::string>& args)
{
    std::string cmd = "\"" + Env("PCSCD_CTL") + "\"";
    for (const std::string& a : args) {
        std::string q;
        for (char ch : a) {
            if (ch == '\'')
                q += "'\\''";
            else
                q += ch;
        }
        cmd += " '" + q + "'";
    }
    int rc = std::system(cmd.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

// Reads the lines a trace file gained since a mark (its size at that moment).
class TraceWatch {
public:
    explicit TraceWatch(std::string file) : m_file(StateFile(file)) { Mark(); }
    void Mark() { m_offset = ReadFile(m_file).size(); }
    std::vector<std::string> Lines() const
    {
        std::string all = ReadFile(m_file);
        std::vector<std::string> out;
        std::istringstream in(all.size() > m_offset ? all.substr(m_offset) : "");
        std::string line;
        while (std::getline(in, line))
            out.push_back(line);
        return out;
    }
    // The calls (without the unit number), skipping the daemon's own queries.
    std::vector<std::string> Calls() const
    {
        std::vector<std::string> out;
        for (const std::string& l : Lines()) {
            std::size_t sp = l.find(' ');
            std::string call = sp == std::string::npos ? l : l.substr(sp + 1);
            if (call.rfind("GetCapabilities 00000F", 0) == 0)
                continue;
            out.push_back(call);
        }
        return out;
    }

private:
    std::string m_file;
    std::size_t m_offset = 0;
};

inline std::vector<std::uint8_t> Bytes(std::initializer_list<int> b)
{
    std::vector<std::uint8_t> v;
    for (int x : b)
        v.push_back(static_cast<std::uint8_t>(x));
    return v;
}

inline std::vector<std::uint8_t> Text(const std::string& s, bool withNul)
{
    std::vector<std::uint8_t> v(s.begin(), s.end());
    if (withNul)
        v.push_back(0);
    return v;
}

}  // namespace bench
