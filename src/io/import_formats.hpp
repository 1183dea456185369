#pragma once

#include <string_view>

#include "io/imported_sample.hpp"

// The readers of the landmark formats of other programs, on text already in
// memory; `label` names the file in messages (and gives the specimen name of
// the one-specimen formats).  Every reader returns the whole sample or
// throws FileError naming the file, the line and the offending word where
// the format has lines, and refuses a missing landmark (NA, NaN, "?", -999
// or the file's own missing-data code) naming the specimen and landmark,
// unless `missing` keeps missing landmarks (MissingValues).
// import_landmarks (io/landmark_import.hpp) chooses among them.

namespace velmora::io {

/// TPS (tpsDig and others): specimens of "LM3=k" followed by k lines "x y z";
/// then any of ID= (the name), IMAGE= (the name when there is no ID=),
/// SCALE= (multiplies the specimen's coordinates; noted), CURVES= with its
/// POINTS= blocks (skipped; noted) and other KEY=value lines (ignored).
/// Keys are read in any case.  "LM=" (2-D data) is refused.
ImportedSample parse_tps_sample(std::string_view text, std::string_view label,
                                const MissingValues& missing = {});

/// NTSYSpc: after '"' comments, the header "1 n 3k 0 dim=3" (an L after n
/// or 3k announces row or column labels; "1 CODE" in place of 0 gives the
/// missing-data code), the row labels (the names), the column labels, then
/// n×3k numbers in free layout.  Labels that begin every data row are read
/// as well.
ImportedSample parse_nts_sample(std::string_view text, std::string_view label,
                                const MissingValues& missing = {});

/// Morphologika: sections [individuals] n, [landmarks] k, [dimensions] 3,
/// [names], [rawpoints] (n·k lines "x y z", "'" comment lines such as the
/// "'#3" specimen markers skipped), [labels] and [labelvalues] (kept as the
/// sample's labels; those that are not numbers are noted).  Other sections are noted and
/// skipped.
ImportedSample parse_morphologika_sample(std::string_view text, std::string_view label,
                                         const MissingValues& missing = {});

/// A markups CSV file (.fcsv): one specimen, one landmark a line, the
/// columns named by the "# columns =" comment (id,x,y,z,… when absent).
/// The name is the file name without ".fcsv".
ImportedSample parse_markups_csv_sample(std::string_view text, std::string_view label,
                                        const MissingValues& missing = {});

/// A markups JSON file (.mrk.json): one specimen, the control points of its
/// one markups list in order.  The name is the file name without
/// ".mrk.json" (or ".json").
ImportedSample parse_markups_json_sample(std::string_view text, std::string_view label,
                                         const MissingValues& missing = {});

/// A table with a header row: the specimen's name in the first column, then
/// x1 y1 z1 … xk yk zk.  Fields are separated by `delimiter` (',' for CSV,
/// also ';' when the header holds no comma; '\t' for TSV) and may be quoted
/// ("…", with "" for a quote).  Header names that say x, y or z must come
/// in the order x, y, z of landmark 1, 2, ….
ImportedSample parse_table_sample(std::string_view text, std::string_view label, char delimiter,
                                  const MissingValues& missing = {});

/// The native landmark file (io/landmark_file.hpp) as a sample: the centroid
/// sizes are computed from the coordinates, and a note names the lines where
/// the file's size column differs from them by more than 1e-6 (relative).
ImportedSample parse_native_sample(std::string_view text, std::string_view label,
                                   const MissingValues& missing = {});

}  // namespace velmora::io
