// A smooth synthetic terrain whose contour lines are known exactly, for measuring how well the
// vectoriser finds them: a few Gaussian hills and pits on a tilted plane, its contour bands drawn
// as a contour-number raster, and its true contour lines by marching squares.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

#include "vector/lines.h"

namespace field {

struct Point {
  double x = 0;
  double y = 0;
};

/// The distance from p to the segment from a to b.
double segment_distance(Point p, Point a, Point b);

/// A line in image coordinates: x = column + 0.5 and y = row + 0.5 at a pixel's centre.
struct Polyline {
  int number = 0;
  std::vector<Point> points;
  bool closed() const {
    return points.size() > 2 && points.front().x == points.back().x &&
           points.front().y == points.back().y;
  }
};

struct Hill {
  double x, y;    ///< centre, image coordinates
  double height;  ///< negative for a pit
  double sigma;   ///< spread in pixels
};

struct Terrain {
  int rows = 0;
  int cols = 0;
  std::vector<Hill> hills;
  double tilt_x = 0, tilt_y = 0;  ///< the plane's slope per pixel
  double base = 0;                ///< the elevation of contour number 0
  double interval = 1;            ///< the elevation between two numbers
  int numbers = 0;                ///< contour numbers 0 .. numbers-1

  double elevation(double x, double y) const;
  /// The elevation and the length of its gradient.
  std::pair<double, double> elevation_and_slope(double x, double y) const;
};

/// Elevations at the pixel centres of a raster, with the length of their gradient there: the
/// terrain the bands and the true lines are drawn from, made-up or a real elevation model.
struct Grid {
  int rows = 0;
  int cols = 0;
  std::vector<double> elevation;  ///< rows × cols, row after row
  std::vector<double> slope;      ///< rows × cols: the gradient's length per pixel
  double base = 0;                ///< the elevation of contour number 0
  double interval = 1;            ///< the elevation between two numbers
  int numbers = 0;                ///< contour numbers 0 .. numbers-1

  double at(int i, int j) const { return elevation[static_cast<std::size_t>(i) * cols + j]; }
  double slope_at(int i, int j) const { return slope[static_cast<std::size_t>(i) * cols + j]; }
};

/// The terrain sampled at pixel centres.
Grid sample(const Terrain& t);

/// A real elevation model of `rows` × `cols` samples resampled to `out_rows` × `out_cols` pixels
/// by bicubic (Catmull-Rom) interpolation, with `numbers` contour numbers spread evenly between
/// its lowest and highest elevation; the slope by central differences.
Grid resample(const std::vector<double>& dem, int rows, int cols, int out_rows, int out_cols,
              int numbers);

/// The test's terrain: 1000 × 800 pixels, two hills, a steep hill, a pit, a tilt that takes lines
/// off every border, and an interval that puts neighbouring lines under 2 pixels apart on the
/// steepest slopes.
Terrain test_terrain();

/// The contour bands: a pixel holds number k when its centre lies within half the band's width of
/// contour line k (to first order: the elevation's distance to k's elevation over the slope), the
/// nearest line winning where bands meet. Widths vary smoothly from 1 to 5 pixels along every
/// line, so that neighbouring bands touch where the slope is steep.
torvanelle::Image draw_bands(const Grid& g);
torvanelle::Image draw_bands(const Terrain& t);

/// The bands drawn around the true lines as a plotter draws them: a pixel holds number k when
/// its centre lies within half the band's width (the same widths as `draw_bands`) of line k,
/// the nearest line winning where bands meet. Unlike `draw_bands` this holds near summits,
/// pits and saddles too, where the slope vanishes; real elevation models are full of them.
torvanelle::Image draw_lines(int rows, int cols, const std::vector<Polyline>& truth);

/// The bands with ragged edges: each background pixel beside (by a side) a band of one number only
/// joins that band with the given probability, seeded, so that bands grow one-pixel bumps.
void roughen(torvanelle::Image& bands, unsigned seed, double probability);

/// The true contour lines by marching squares over the elevations at pixel centres; a line that
/// leaves the image ends on the pixel centres' border, a closed one ends where it starts.
std::vector<Polyline> true_lines(const Grid& g);
std::vector<Polyline> true_lines(const Terrain& t);

/// A stretch of a true line whose band was erased, as a label erases it.
struct Gap {
  int number = 0;
  std::vector<Point> points;  ///< the stretch of the true line whose surroundings were erased
  double length = 0;          ///< how long a piece of the line the gap takes away
};

/// Erases label gaps of 8 to 30 pixels in the bands, seeded: about one per `spacing` pixels of
/// every true line long enough, never within 40 pixels of a line's end or of another gap. Only
/// the pixels of the line's own number within 3 pixels of the stretch are erased, the stretch
/// being 6 pixels shorter than the gap.
std::vector<Gap> cut_gaps(torvanelle::Image& bands, const std::vector<Polyline>& truth,
                          unsigned seed, double spacing);

/// Adds `count` isolated specks of 1 to 3 pixels, seeded, each with a random number and no line
/// pixel within 2 pixels; and opens one-pixel holes in a share `holes` of the band pixels whose
/// eight neighbours all hold their number.
void add_specks_and_holes(torvanelle::Image& bands, unsigned seed, int count, double holes);

/// The vectoriser's lines in image coordinates.
std::vector<Polyline> polylines(const std::vector<torvanelle::vect::Line>& lines);

}  // namespace field
