// Draws samples/sample.png: a 400 x 300 RGBA picture whose straight lines
// and shapes make a shear easy to see.  A diagonal colour gradient, a grid
// every 25 pixels, a sun, a rectangle and a triangle, and an alpha that fades
// out toward the left and right borders and drops to half inside a window.
//
//   pg_make_sample OUTPUT.png
//
// The result is deterministic; the committed PNG was made with it.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include <stb/stb_image_write.h>

namespace {

constexpr int kWidth = 400;
constexpr int kHeight = 300;
constexpr int kSubsamples = 4;  // per axis, for smooth shape edges

struct Colour {
    double r, g, b, a;  // 0..1, straight alpha
};

Colour Mix(const Colour& under, const Colour& over, double coverage) {
    const double k = over.a * coverage;
    return Colour{under.r + (over.r - under.r) * k, under.g + (over.g - under.g) * k, under.b + (over.b - under.b) * k,
                  under.a};
}

// The fraction of pixel (x, y) for which `inside` holds.
template <class Shape>
double Coverage(int x, int y, Shape inside) {
    int hits = 0;
    for (int j = 0; j < kSubsamples; ++j)
        for (int i = 0; i < kSubsamples; ++i)
            if (inside(x + (i + 0.5) / kSubsamples, y + (j + 0.5) / kSubsamples)) ++hits;
    return static_cast<double>(hits) / (kSubsamples * kSubsamples);
}

Colour PixelAt(int x, int y) {
    const double u = x / (kWidth - 1.0);
    const double v = y / (kHeight - 1.0);
    // Sunset gradient: deep blue at the top left to orange at the bottom right.
    const double d = (u + v) / 2.0;
    Colour c{0.10 + 0.85 * d, 0.20 + 0.45 * d * (1.0 - d) * 2.0, 0.55 - 0.35 * d, 1.0};

    // Grid lines every 25 pixels, a thicker one every 100.
    const bool major = x % 100 == 0 || y % 100 == 0 || x % 100 == 99 || y % 100 == 99;
    if (x % 25 == 0 || y % 25 == 0 || major) c = Mix(c, Colour{1.0, 1.0, 1.0, major ? 0.8 : 0.45}, 1.0);

    // Sun.
    c = Mix(c, Colour{1.0, 0.85, 0.2, 1.0}, Coverage(x, y, [](double px, double py) {
                const double dx = px - 290.0, dy = py - 95.0;
                return dx * dx + dy * dy <= 55.0 * 55.0;
            }));
    // Rectangle with a dark frame.
    c = Mix(c, Colour{0.1, 0.1, 0.15, 1.0},
            Coverage(x, y, [](double px, double py) { return px >= 40 && px < 170 && py >= 150 && py < 260; }));
    c = Mix(c, Colour{0.2, 0.75, 0.55, 1.0},
            Coverage(x, y, [](double px, double py) { return px >= 46 && px < 164 && py >= 156 && py < 254; }));
    // Triangle.
    c = Mix(c, Colour{0.85, 0.2, 0.45, 0.9}, Coverage(x, y, [](double px, double py) {
                // Vertices (230, 270), (370, 270), (300, 160).
                auto side = [](double ax, double ay, double bx, double by, double qx, double qy) {
                    return (bx - ax) * (qy - ay) - (by - ay) * (qx - ax);
                };
                const double s1 = side(230, 270, 370, 270, px, py);
                const double s2 = side(370, 270, 300, 160, px, py);
                const double s3 = side(300, 160, 230, 270, px, py);
                return (s1 <= 0 && s2 <= 0 && s3 <= 0) || (s1 >= 0 && s2 >= 0 && s3 >= 0);
            }));

    // Transparency: fades out over the outer 40 pixels at the left and right,
    // and a half-transparent window at the top left.
    const double edge = std::fmin(x + 0.5, kWidth - x - 0.5);
    c.a = std::fmin(1.0, edge / 40.0);
    if (x >= 30 && x < 150 && y >= 25 && y < 110) c.a *= 0.5;
    return c;
}

std::uint8_t Byte(double value) {
    const double clamped = std::fmin(1.0, std::fmax(0.0, value));
    return static_cast<std::uint8_t>(std::lround(clamped * 255.0));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: pg_make_sample OUTPUT.png\n");
        return 2;
    }
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(kWidth) * kHeight * 4);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const Colour c = PixelAt(x, y);
            std::uint8_t* p = &rgba[(static_cast<std::size_t>(y) * kWidth + x) * 4];
            p[0] = Byte(c.r);
            p[1] = Byte(c.g);
            p[2] = Byte(c.b);
            p[3] = Byte(c.a);
        }
    if (stbi_write_png(argv[1], kWidth, kHeight, 4, rgba.data(), kWidth * 4) == 0) {
        std::fprintf(stderr, "pg_make_sample: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
