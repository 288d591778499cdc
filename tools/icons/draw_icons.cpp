// Draws the terminal's own pictures with cairo: the menu icons (128 x 128, shown at 64 x 64 on a
// dark tile whose lower part leaves room for the menu's name) and the blue item button (180 x 100,
// shown at 90 x 50). Usage: draw_icons <folder>; every file is written anew.
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Rgb {
    double r, g, b;
};

void fill(cairo_t* cr, Rgb c) {
    cairo_set_source_rgb(cr, c.r, c.g, c.b);
    cairo_fill(cr);
}

void fillStroke(cairo_t* cr, Rgb inside, Rgb edge, double width) {
    cairo_set_source_rgb(cr, inside.r, inside.g, inside.b);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, edge.r, edge.g, edge.b);
    cairo_set_line_width(cr, width);
    cairo_stroke(cr);
}

void stroke(cairo_t* cr, Rgb c, double width) {
    cairo_set_source_rgb(cr, c.r, c.g, c.b);
    cairo_set_line_width(cr, width);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke(cr);
}

void roundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
    cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
    cairo_arc(cr, x + r, y + r, r, kPi, 3 * kPi / 2);
    cairo_close_path(cr);
}

void circle(cairo_t* cr, double x, double y, double r) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, x, y, r, 0, 2 * kPi);
}

void ellipse(cairo_t* cr, double x, double y, double rx, double ry) {
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_scale(cr, rx, ry);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
    cairo_restore(cr);
}

void poly(cairo_t* cr, const std::vector<std::pair<double, double>>& points) {
    cairo_move_to(cr, points[0].first, points[0].second);
    for (size_t i = 1; i < points.size(); ++i) cairo_line_to(cr, points[i].first, points[i].second);
    cairo_close_path(cr);
}

const Rgb kWhite{1, 1, 1}, kInk{0.16, 0.16, 0.18}, kRed{0.85, 0.22, 0.2}, kYellow{0.98, 0.78, 0.2},
    kBrown{0.55, 0.33, 0.17}, kGreen{0.3, 0.68, 0.3}, kOrange{0.96, 0.55, 0.15}, kCream{0.98, 0.93, 0.8},
    kPink{0.95, 0.6, 0.7}, kBlue{0.35, 0.6, 0.9}, kWine{0.55, 0.08, 0.2}, kGlass{0.85, 0.92, 0.97};

// The icons' common tile: a dark rounded square; the picture goes in its upper 96 points.
void tile(cairo_t* cr) {
    roundedRect(cr, 2, 2, 124, 124, 18);
    fill(cr, {0.22, 0.26, 0.32});
}

void food(cairo_t* cr) { // a plate with a fork and a knife
    circle(cr, 64, 54, 34);
    fillStroke(cr, kWhite, {0.75, 0.75, 0.78}, 3);
    circle(cr, 64, 54, 22);
    stroke(cr, {0.8, 0.8, 0.83}, 2);
    cairo_move_to(cr, 18, 24), cairo_line_to(cr, 18, 88);
    stroke(cr, kGlass, 5);
    for (double x : {12.0, 18.0, 24.0}) cairo_move_to(cr, x, 20), cairo_line_to(cr, x, 40);
    stroke(cr, kGlass, 3);
    cairo_move_to(cr, 110, 22), cairo_line_to(cr, 110, 88);
    stroke(cr, kGlass, 6);
}

void chef(cairo_t* cr) { // a chef's hat
    circle(cr, 44, 42, 18), circle(cr, 64, 32, 22), circle(cr, 84, 42, 18);
    fill(cr, kWhite);
    cairo_rectangle(cr, 42, 44, 44, 36);
    fill(cr, kWhite);
    cairo_rectangle(cr, 42, 72, 44, 12);
    fillStroke(cr, kWhite, {0.7, 0.7, 0.75}, 2);
}

void beer(cairo_t* cr) { // a mug with foam
    cairo_rectangle(cr, 36, 34, 44, 56);
    fillStroke(cr, kYellow, kWhite, 3);
    cairo_arc(cr, 84, 62, 14, -kPi / 2, kPi / 2);
    stroke(cr, kWhite, 6);
    circle(cr, 44, 32, 10), circle(cr, 58, 28, 11), circle(cr, 72, 32, 10);
    fill(cr, kWhite);
}

void wine(cairo_t* cr) { // a glass of red
    cairo_move_to(cr, 42, 18);
    cairo_curve_to(cr, 40, 56, 88, 56, 86, 18);
    cairo_close_path(cr);
    fillStroke(cr, kGlass, kWhite, 2);
    cairo_move_to(cr, 44, 34);
    cairo_curve_to(cr, 46, 54, 82, 54, 84, 34);
    cairo_close_path(cr);
    fill(cr, kWine);
    cairo_move_to(cr, 64, 50), cairo_line_to(cr, 64, 84);
    stroke(cr, kWhite, 4);
    cairo_move_to(cr, 48, 88), cairo_line_to(cr, 80, 88);
    stroke(cr, kWhite, 5);
}

void fries(cairo_t* cr) { // fries in a red box
    for (int i = 0; i < 6; ++i) {
        double x = 40 + i * 9;
        cairo_save(cr);
        cairo_translate(cr, x, 54);
        cairo_rotate(cr, (i - 2.5) * 0.06);
        cairo_rectangle(cr, -3.5, -38, 7, 40);
        cairo_restore(cr);
    }
    fill(cr, kYellow);
    poly(cr, {{34, 50}, {94, 50}, {86, 94}, {42, 94}});
    fillStroke(cr, kRed, kWhite, 2);
}

void cake(cairo_t* cr) { // a slice with a cherry
    poly(cr, {{26, 86}, {102, 86}, {102, 56}, {26, 70}});
    fill(cr, kCream);
    poly(cr, {{26, 70}, {102, 56}, {102, 48}, {26, 62}});
    fill(cr, kPink);
    cairo_rectangle(cr, 26, 76, 76, 4);
    fill(cr, kPink);
    circle(cr, 84, 44, 8);
    fill(cr, kRed);
}

void coffee(cairo_t* cr) { // a cup with steam
    cairo_move_to(cr, 32, 48), cairo_line_to(cr, 84, 48);
    cairo_curve_to(cr, 84, 78, 74, 90, 58, 90);
    cairo_curve_to(cr, 42, 90, 32, 78, 32, 48);
    fillStroke(cr, kWhite, kWhite, 2);
    ellipse(cr, 58, 50, 24, 5);
    fill(cr, kBrown);
    cairo_arc(cr, 88, 62, 10, -kPi / 2, kPi / 2);
    stroke(cr, kWhite, 5);
    for (double x : {48.0, 62.0}) {
        cairo_move_to(cr, x, 38);
        cairo_curve_to(cr, x - 6, 30, x + 6, 24, x, 14);
    }
    stroke(cr, kGlass, 3);
}

void beef(cairo_t* cr) { // a steak with its bone
    cairo_move_to(cr, 24, 58);
    cairo_curve_to(cr, 20, 26, 80, 14, 100, 36);
    cairo_curve_to(cr, 116, 56, 96, 90, 64, 88);
    cairo_curve_to(cr, 40, 88, 26, 78, 24, 58);
    fillStroke(cr, {0.72, 0.2, 0.2}, kCream, 5);
    circle(cr, 50, 54, 9);
    fill(cr, kCream);
}

void fastFood(cairo_t* cr) { // a burger beside a cup
    cairo_rectangle(cr, 78, 28, 28, 60);
    fillStroke(cr, kRed, kWhite, 2);
    cairo_move_to(cr, 96, 28), cairo_line_to(cr, 102, 12);
    stroke(cr, kWhite, 3);
    cairo_arc(cr, 46, 62, 26, kPi, 2 * kPi);
    fill(cr, kOrange);
    cairo_rectangle(cr, 20, 64, 52, 8);
    fill(cr, kBrown);
    roundedRect(cr, 20, 74, 52, 12, 5);
    fill(cr, kOrange);
}

void hamburger(cairo_t* cr) {
    cairo_arc(cr, 64, 56, 38, kPi, 2 * kPi);
    fill(cr, kOrange);
    cairo_rectangle(cr, 24, 58, 80, 6);
    fill(cr, kGreen);
    cairo_rectangle(cr, 26, 64, 76, 10);
    fill(cr, kBrown);
    roundedRect(cr, 26, 76, 76, 14, 6);
    fill(cr, kOrange);
    for (double x : {48.0, 62.0, 76.0}) ellipse(cr, x, 36, 2.5, 1.5);
    fill(cr, kCream);
}

void pizza(cairo_t* cr) { // a slice
    poly(cr, {{64, 92}, {26, 24}, {102, 24}});
    fill(cr, kYellow);
    cairo_move_to(cr, 26, 24), cairo_line_to(cr, 102, 24);
    stroke(cr, kOrange, 10);
    for (auto [x, y] : {std::pair{52.0, 40.0}, {74.0, 42.0}, {62.0, 62.0}}) circle(cr, x, y, 7);
    fill(cr, kRed);
}

void xGlass(cairo_t* cr) { // a cocktail glass with an olive
    poly(cr, {{26, 20}, {102, 20}, {64, 60}});
    fillStroke(cr, kGlass, kWhite, 2);
    cairo_move_to(cr, 64, 60), cairo_line_to(cr, 64, 88);
    stroke(cr, kWhite, 4);
    cairo_move_to(cr, 46, 90), cairo_line_to(cr, 82, 90);
    stroke(cr, kWhite, 5);
    circle(cr, 70, 32, 7);
    fill(cr, kGreen);
}

void happy(cairo_t* cr) { // a smiling face
    circle(cr, 64, 54, 38);
    fill(cr, kYellow);
    circle(cr, 50, 44, 5), circle(cr, 78, 44, 5);
    fill(cr, kInk);
    cairo_arc(cr, 64, 56, 22, 0.15 * kPi, 0.85 * kPi);
    stroke(cr, kInk, 5);
}

void softDrink(cairo_t* cr) { // a cup with a straw
    poly(cr, {{38, 30}, {90, 30}, {84, 92}, {44, 92}});
    fillStroke(cr, kBlue, kWhite, 2);
    roundedRect(cr, 34, 24, 60, 10, 4);
    fill(cr, kWhite);
    cairo_move_to(cr, 70, 26), cairo_line_to(cr, 80, 8);
    stroke(cr, kRed, 5);
}

void maki(cairo_t* cr) { // two sushi rolls
    for (double x : {44.0, 84.0}) {
        circle(cr, x, 56, 20);
        fill(cr, {0.1, 0.2, 0.12});
        circle(cr, x, 56, 15);
        fill(cr, kWhite);
        circle(cr, x, 56, 6);
        fill(cr, kOrange);
    }
}

void fish(cairo_t* cr) {
    ellipse(cr, 58, 54, 34, 20);
    fill(cr, kBlue);
    poly(cr, {{88, 54}, {112, 34}, {112, 74}});
    fill(cr, kBlue);
    circle(cr, 40, 48, 4);
    fill(cr, kWhite);
}

void swissCheese(cairo_t* cr) { // a wedge with holes
    poly(cr, {{20, 86}, {108, 86}, {108, 40}});
    fill(cr, kYellow);
    for (auto [x, y, r] : {std::tuple{72.0, 74.0, 6.0}, {92.0, 62.0, 5.0}, {98.0, 78.0, 4.0}}) circle(cr, x, y, r);
    fill(cr, kOrange);
}

void receipt(cairo_t* cr) { // a slip with lines
    poly(cr, {{36, 14}, {92, 14}, {92, 92}, {82, 86}, {73, 92}, {64, 86}, {55, 92}, {46, 86}, {36, 92}});
    fill(cr, kWhite);
    for (double y : {30.0, 44.0, 58.0, 72.0}) cairo_move_to(cr, 46, y), cairo_line_to(cr, y == 72 ? 66 : 82, y);
    stroke(cr, kInk, 4);
}

void add(cairo_t* cr) { // a plus in a green circle
    circle(cr, 64, 54, 36);
    fill(cr, kGreen);
    cairo_move_to(cr, 64, 34), cairo_line_to(cr, 64, 74);
    cairo_move_to(cr, 44, 54), cairo_line_to(cr, 84, 54);
    stroke(cr, kWhite, 10);
}

void carrot(cairo_t* cr) {
    poly(cr, {{40, 34}, {62, 30}, {90, 92}});
    fill(cr, kOrange);
    for (double a : {-0.5, 0.0, 0.5}) {
        cairo_move_to(cr, 50, 32);
        cairo_line_to(cr, 50 + 22 * std::sin(a - 0.4), 32 - 22 * std::cos(a - 0.4));
    }
    stroke(cr, kGreen, 6);
}

// The item button: a blue rounded face with a light top edge, drawn at twice its size.
void blueButton(cairo_t* cr) {
    roundedRect(cr, 2, 2, 176, 96, 14);
    cairo_pattern_t* face = cairo_pattern_create_linear(0, 0, 0, 100);
    cairo_pattern_add_color_stop_rgb(face, 0, 0.33, 0.55, 0.86);
    cairo_pattern_add_color_stop_rgb(face, 1, 0.13, 0.33, 0.66);
    cairo_set_source(cr, face);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(face);
    cairo_set_source_rgb(cr, 0.08, 0.22, 0.48);
    cairo_set_line_width(cr, 3);
    cairo_stroke(cr);
}

bool write(const std::string& folder, const std::string& name, int w, int h, bool withTile,
           const std::function<void(cairo_t*)>& draw) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(surface);
    if (withTile) tile(cr);
    draw(cr);
    cairo_destroy(cr);
    const std::string path = folder + "/" + name;
    const bool ok = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    if (!ok) std::fprintf(stderr, "draw_icons: cannot write %s\n", path.c_str());
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw_icons <folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    const std::vector<std::pair<const char*, void (*)(cairo_t*)>> icons{
        {"food.png", food},
        {"chef.png", chef},
        {"beer.png", beer},
        {"wine.png", wine},
        {"fries.png", fries},
        {"cake.png", cake},
        {"coffee.png", coffee},
        {"beef.png", beef},
        {"fast-food.png", fastFood},
        {"hamburger.png", hamburger},
        {"pizza.png", pizza},
        {"x-glass.png", xGlass},
        {"happy.png", happy},
        {"soft-drink.png", softDrink},
        {"maki.png", maki},
        {"fish.png", fish},
        {"swiss-cheese.png", swissCheese},
        {"receipt64.png", receipt},
        {"add64.png", add},
        {"carrot.png", carrot},
    };
    bool ok = true;
    for (const auto& [name, draw] : icons) ok = write(folder, name, 128, 128, true, draw) && ok;
    ok = write(folder, "blueButton.png", 180, 100, false, blueButton) && ok;
    return ok ? 0 : 1;
}
