#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "io/imported_sample.hpp"

namespace velmora::io {

/// Reads a landmark file of any format Velmora knows, chosen by the file's
/// extension and checked by its content:
///  - .tps → TPS; .nts → NTS; .fcsv → Markups CSV; .mrk.json and .json →
///    Markups JSON; .csv → CSV table, .tsv and .tab → TSV table (a table
///    whose first row is all numbers is a native file written with commas
///    or tabs);
///  - .txt and any other name: by the content's first line: "[" begins a
///    Morphologika file, "LM3=" or "LM=" a TPS file, '"' or an
///    "1 n 3k 0 dim=3" header an NTS file, '{' a Markups JSON file; anything
///    else is the native landmark file (io/landmark_file.hpp).
/// Every reader gives the same sample for the same landmarks: specimens in
/// file order, landmarks in order, centroid sizes computed from the raw
/// coordinates.  Returns all of it or nothing.
/// @throws FileError naming the file (and line, column and word where the
///   format has them): a file that cannot be opened, a malformed file, 2-D
///   data, a missing landmark (naming the specimen and the landmark) unless
///   `missing` keeps them (MissingValues; the sample's `missing` lists them),
///   specimens of different landmark counts or of fewer than three landmarks,
///   a specimen whose landmarks all lie on one point
ImportedSample import_landmarks(const std::string& path, const MissingValues& missing = {});

/// import_landmarks on text already in memory; `label` stands for the path
/// (its extension chooses the reader, its file name names the specimen of a
/// one-specimen format).
ImportedSample import_landmark_text(std::string_view text, std::string_view label,
                                    const MissingValues& missing = {});

/// Reads several files as one sample, in the order given: typically
/// one-specimen files (.fcsv, .mrk.json), each named after its file.  Every
/// file is read by import_landmarks; their specimens follow one another.
/// Labels are kept only when the files give the same names; the
/// format is the files' common one, or their formats joined by ", ".
/// @throws FileError for no path at all, the refusal of any file, or
///   `"b.fcsv": 11 landmarks, but "a.fcsv" has 12; every specimen needs the
///   same landmarks.`
ImportedSample import_landmark_files(const std::vector<std::string>& paths,
                                     const MissingValues& missing = {});

/// True for the name of a one-specimen markup file: ".fcsv", ".mrk.json"
/// or ".json", in any case.
bool is_markup_file(std::string_view path);

/// Reads what was chosen in one open dialog: one file of any format
/// (import_landmarks), or several markup files (import_landmark_files).
/// @throws FileError for no path at all, the refusals of those readers, and
///   a selection of several files of which one is no markup file:
///   `"b.tps": only markup files (.fcsv, .mrk.json) can be loaded several
///   at a time, one specimen a file; load this file on its own.`
ImportedSample import_landmark_selection(const std::vector<std::string>& paths,
                                         const MissingValues& missing = {});

}  // namespace velmora::io
