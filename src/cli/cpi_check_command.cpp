#include "cli/cpi_check_command.h"

#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "device/cpi_check_text.h"
#include "device/hid_transport.h"
#include "device/number_text.h"
#include "device/pointer_reader.h"

namespace {

// Three decimals: a count more or less over the stroke still shows.
std::string Number(double value) {
    return DecimalText(value, 3);
}

std::string OrNull(const std::optional<double>& value) {
    return value ? Number(*value) : "null";
}

const char* DirectionName(StrokeDirection direction) {
    switch (direction) {
        case StrokeDirection::Horizontal:
            return "horizontal";
        case StrokeDirection::Vertical:
            return "vertical";
        case StrokeDirection::Diagonal:
            break;
    }
    return "diagonal";
}

std::string FiguresJson(const std::optional<CpiFigures>& figures) {
    if (!figures)
        return "null";
    return "{\"strokes\": " + std::to_string(figures->strokes) +
           ", \"mean_cpi\": " + Number(figures->meanCpi) +
           ", \"spread_cpi\": " + Number(figures->spreadCpi) +
           ", \"set_cpi\": " + OrNull(figures->setCpi) +
           ", \"deviation_percent\": " + OrNull(figures->deviationPercent) + "}";
}

// The keys are always there, null where a figure has no value.
void WriteJson(const CpiCheckOptions& options, const std::optional<SetCpi>& set,
               const std::vector<StrokeResult>& strokes, const CpiCheckSummary& summary,
               std::ostream& out) {
    out << "{\n  \"distance_cm\": " << Number(options.distanceInches * kCentimetresPerInch)
        << ",\n  \"distance_in\": " << Number(options.distanceInches)
        << ",\n  \"set_cpi_x\": " << (set ? std::to_string(set->x) : "null")
        << ",\n  \"set_cpi_y\": " << (set ? std::to_string(set->y) : "null")
        << ",\n  \"level\": " << (set ? std::to_string(set->level + 1) : "null")
        << ",\n  \"strokes\": [";
    for (size_t i = 0; i < strokes.size(); ++i) {
        const StrokeResult& stroke = strokes[i];
        out << (i == 0 ? "\n" : ",\n") << "    {\"cpi\": " << Number(stroke.cpi)
            << ", \"cpi_x\": " << OrNull(stroke.cpiX) << ", \"cpi_y\": " << OrNull(stroke.cpiY)
            << ", \"counts_x\": " << stroke.countsX << ", \"counts_y\": " << stroke.countsY
            << ", \"direction\": \"" << DirectionName(stroke.Direction())
            << "\", \"trustworthy\": " << (stroke.trustworthy ? "true" : "false") << "}";
    }
    out << "\n  ],\n  \"mean_cpi\": " << Number(summary.along.meanCpi)
        << ",\n  \"spread_cpi\": " << Number(summary.along.spreadCpi)
        << ",\n  \"deviation_percent\": " << OrNull(summary.along.deviationPercent)
        << ",\n  \"x\": " << FiguresJson(summary.x) << ",\n  \"y\": " << FiguresJson(summary.y)
        << ",\n  \"trustworthy\": " << (summary.trustworthy ? "true" : "false")
        << ",\n  \"ruler_bound_percent\": " << Number(RulerBoundPercent(options.distanceInches))
        << "\n}\n";
}

bool ReadLine(std::istream& in) {
    std::string line;
    return static_cast<bool>(std::getline(in, line));
}

}  // namespace

int CheckCpi(const CpiCheckOptions& options, std::unique_ptr<HidConnection> pointer,
             std::optional<SetCpi> set, const StrokeMaker& makeStroke, std::istream& in,
             std::ostream& out, std::ostream& err) {
    if (!pointer) {
        err << "kestrine-config: the mouse's pointer interface cannot be opened\n";
        return kExitMouse;
    }
    PointerReader reader(std::move(pointer));
    if (!reader.KnowsReportLayout()) {
        err << "kestrine-config: the mouse's pointer interface does not say where its reports "
               "keep X and Y, so its counts cannot be summed\n";
        return kExitMouse;
    }
    err << "CPI check: " << options.strokes << " stroke" << (options.strokes == 1 ? "" : "s")
        << " of " << DistanceText(options.distanceInches) << " along a ruler.\n"
        << "The mouse is set to " << (set ? SetCpiText(*set) : std::string("no known level"))
        << ".\n";
    std::vector<StrokeResult> results;
    unsigned emptyInARow = 0;
    while (results.size() < options.strokes && emptyInARow < kEmptyStrokesAllowed) {
        err << "Stroke " << results.size() + 1 << " of " << options.strokes
            << ": put the mouse at the ruler's start mark and press Enter.\n";
        if (!ReadLine(in))
            break;
        reader.TakeBatches();  // what moved before the start does not count
        err << "Now move it " << DistanceText(options.distanceInches)
            << " along the ruler in a straight line, then press Enter.\n";
        if (makeStroke)
            makeStroke();
        if (!ReadLine(in))
            break;
        Stroke stroke;
        stroke.Add(reader.TakeBatches());
        if (reader.Gone()) {
            err << "kestrine-config: the mouse went away while it was measured\n";
            return kExitMouse;
        }
        const std::optional<StrokeResult> result = MeasureStroke(stroke, options.distanceInches);
        if (!result) {
            ++emptyInARow;
            err << "No movement was seen; that stroke does not count.\n";
            continue;
        }
        emptyInARow = 0;
        results.push_back(*result);
        (options.json ? err : out)
            << "Stroke " << results.size() << ": " << StrokeText(*result) << "\n";
        out.flush();
    }
    reader.Stop();
    if (results.empty()) {
        err << "kestrine-config: no movement was seen; move the mouse along the ruler between "
               "the two presses of Enter\n";
        return kExitMouse;
    }
    if (results.size() < options.strokes) {
        err << "kestrine-config: note: the check ended after " << results.size() << " of "
            << options.strokes << " strokes\n";
    }
    const CpiCheckSummary summary = *SummariseStrokes(results, set);
    if (options.json) {
        WriteJson(options, set, results, summary, out);
        return kExitDone;
    }
    for (const std::string& line : SummaryLines(summary, set))
        out << line << "\n";
    out << MeaningText() << "\n" << RulerText(options.distanceInches) << "\n";
    return kExitDone;
}
