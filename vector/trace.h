// The skeleton traced into lines: end pixels and junctions joined by runs of line pixels.
#pragma once

#include <vector>

#include "base/progress.h"
#include "vector/framed.h"
#include "vector/lines.h"

namespace torvanelle::vect {

/// The lines of a skeleton (one pixel wide, as `thin` leaves it), numbers apart. A pixel joined to
/// one other is an end pixel, a pixel joined to three or more a junction pixel, and touching
/// junction pixels make one junction, whose centre is its first pixel in scan order. A line runs
/// from an end pixel or junction to the next, through pixels joined to two others; where it meets
/// a junction it goes on to the centre by a shortest way through the junction, so that the lines
/// of a junction meet on one pixel. A ring without end pixels or junctions is one closed line; a
/// lone pixel is a line of one pixel. Each step of a line is to a neighbour, but for the steps
/// over a pixel passed already (below).
///
/// At a junction where three lines or more meet, the branches shorter than `min_branch` pixels
/// (the junction pixel not counted) that end in an end pixel are pruned, shortest first, as long
/// as two lines are left; all of them where only one other line is left (a line's frayed end).
/// Then, of the lines shorter than 2 x `min_branch` that join the same two junctions, each of
/// which keeps another line, only the shortest stays (the eye round a pinhole in a band), and a
/// loop of that size hanging off a junction that keeps two more lines goes. A line of at most
/// `min_branch` pixels between two junctions that each keep two more lines is a link: the two
/// junctions are taken as one group. A group left with two lines joins them into one (closed when
/// both are the same line); a group of four or more pairs its lines by continuation, the
/// straightest pairs first (directions judged 6 pixels out), never two pairs that cross, so that a
/// saddle's X gives two lines meeting at its centre and a band touching itself stays one line; a
/// line paired across a group goes through its links. Three lines (a true T), and lines left
/// unpaired, end at the junction.
///
/// No line passes a pixel twice: a line that would steps over it to the pixel after
/// it when that is two pixels away at most and new to the line, and is cut there otherwise, a
/// loop back to the pixel becoming a closed line of its own. Lines come ordered by number, then
/// by where their tracing started in scan order. `progress` hears the end of each phase: the
/// runs, the junctions, the lines assembled and passing each pixel once, the order.
std::vector<Line> trace(const Framed& skeleton, int min_branch, const Progress& progress = {});
std::vector<Line> trace(const Image& skeleton, int min_branch);

}  // namespace torvanelle::vect
