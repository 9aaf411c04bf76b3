// The PostScript back end of the drawing interface: every call goes to pslib
// unchanged, so that the documents are those pslib has always written.
#pragma once

#include <cstdio>
#include <vector>

#include "draw/canvas.h"

class PsCanvas final : public Canvas {
public:
    ~PsCanvas() override;

    bool begin_document(const char* path, const PageSetup& setup, int pages) override;
    void begin_page(int number) override;
    void end_page() override;
    bool end_document() override;

    void move_to(double x, double y) override;
    void line_to(double x, double y) override;
    void move_by(double dx, double dy) override;
    void line_by(double dx, double dy) override;
    void line_width(int width) override;
    void paint(int red, int green, int blue) override;

    void rectangle(double x, double y, double w, double h, bool filled) override;
    void clip(double x, double y, double w, double h) override;
    void unclip() override;

    void font(int number) override;
    void text(double x, double y, int size, const char* text, double angle, int justify) override;

    int open_part() override;
    void draw_into(int part) override;
    bool insert_part(int part) override;
    void close_parts() override;

private:
    // Parts are temporary files without a name.
    std::vector<std::FILE*> parts_;
    int pages_ = 0;
};
