// Shared helpers of the PostScript library tests.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "db/output_file.h"
#include "pslib/pslib.h"
#include "tests/testkit/testkit.h"

namespace pstest {

inline const int white[3] = {255, 255, 255};

// Opens a landscape document on `path` with the plots' settings.
inline int begin(const std::string& path) {
    return ps_begin_document(path.c_str(), 0, 0, 0.0, 0.0, 1.0, 1.0, 1, 300, 0, 20.0, white,
                             nullptr);
}

// A document in a scratch folder with the settings the plots use: origin 0,
// scale 1, one copy, 300 units per centimetre, page width 20 cm.
class Doc {
public:
    explicit Doc(int mode = 0, const int (&background)[3] = white, const PsDocInfo* info = nullptr)
        : path_(dir_.file("doc.ps")) {
        status_ = ps_begin_document(path_.c_str(), 0, mode, 0.0, 0.0, 1.0, 1.0, 1, 300, 0, 20.0,
                                    background, info);
    }
    ~Doc() {
        if (ps_state.out != nullptr) ps_end_document(1);
    }
    Doc(const Doc&) = delete;
    Doc& operator=(const Doc&) = delete;

    int status() const { return status_; }
    const std::string& path() const { return path_; }

    // What `calls` add to the open document (still under its temporary name).
    std::string written(const std::function<void()>& calls) {
        std::fflush(ps_state.out);
        const std::string open_file = output_written_file(ps_state.document);
        const std::size_t before = testkit::read_file(open_file).size();
        calls();
        std::fflush(ps_state.out);
        return testkit::read_file(open_file).substr(before);
    }

    // Ends the document and returns its whole text.
    std::string finish(int last_page = 1) {
        ps_end_document(last_page);
        return testkit::read_file(path_);
    }

private:
    testkit::ScratchDir dir_;
    std::string path_;
    int status_ = -1;
};

}  // namespace pstest
