#!/bin/sh
# Writes the robustness table from the fuzzing ledger and the fault tests'
# last results (the GoogleTest XML that they leave in robustness/ of each
# build folder):
#
#   write-table.sh NATIVE_BUILD WINDOWS_BUILD LEDGER OUTPUT
#
# scripts/fuzz.sh --table calls it with the usual folders.
set -eu

native=$1
windows=$2
ledger=$3
output=$4
cd "$(dirname "$0")/../.."
tests="fault_oom fault_local fault_full_disk fault_readonly_folder fault_readonly_folder_empty"
tests="$tests fault_readonly_file"
corpus_files=$(ls tests/fuzz/corpus | wc -l)

# One line per test case: where, fault, outcome, status, seconds.
cases() {
    for pair in "native:$native" "Wine:$windows"; do
        where=${pair%%:*}
        dir=${pair#*:}/robustness
        for test in $tests; do
            if [ ! -f "$dir/$test.xml" ]; then
                printf '%s\t%s\t-\tno results: skipped, crashed or not run\t0\n' "$where" "$test"
                continue
            fi
            awk -v where="$where" '
                function attr(line, name,    rest) {
                    if (!match(line, " " name "=\"[^\"]*\"")) return ""
                    rest = substr(line, RSTART + length(name) + 3, RLENGTH - length(name) - 4)
                    gsub(/&quot;/, "\"", rest); gsub(/&apos;/, "'\''", rest)
                    gsub(/&lt;/, "<", rest); gsub(/&gt;/, ">", rest); gsub(/&amp;/, "\\&", rest)
                    return rest
                }
                function emit() {
                    if (fault == "") fault = name
                    printf "%s\t%s\t%s\t%s\t%s\n", where, fault, outcome, status, seconds
                    open_case = 0
                }
                /<testcase / {
                    name = attr($0, "name"); seconds = attr($0, "time")
                    fault = ""; outcome = ""; status = "passed"; open_case = 1
                    if ($0 ~ /result="skipped"/) status = "skipped"
                    if ($0 ~ /\/>[ \t]*$/) emit()
                    next
                }
                open_case && /<property name="fault"/ { fault = attr($0, "value") }
                open_case && /<property name="outcome"/ { outcome = attr($0, "value") }
                open_case && /<failure/ { status = "FAILED" }
                open_case && /<skipped/ { status = "skipped" }
                open_case && /<\/testcase>/ { emit() }
            ' "$dir/$test.xml"
        done
    done
}

results_date() {
    for dir in "$native/robustness" "$windows/robustness"; do
        [ -d "$dir" ] || continue
        sed -n 's/.*<testsuites .*timestamp="\([^"T]*\)T.*/\1/p' "$dir"/*.xml 2>/dev/null
    done | sort | tail -n 1
}

{
    echo "# Robustness of the configuration file code"
    echo
    echo "What the loader and saver of \`tarro.cfg\` survive: arbitrary bytes from a"
    echo "coverage-guided fuzzer, and real faults injected under them. Written by"
    echo "\`tests/faults/write-table.sh\` from the fuzzing ledger (\`tests/fuzz/runs.tsv\`)"
    echo "and the fault tests' last results; do not edit by hand."
    echo
    echo "To bring it up to date:"
    echo
    echo "    scripts/fuzz.sh --record 3600      # fuzz an hour and add the run to the ledger"
    echo "    ctest --preset native -L faults    # the fault tests, natively"
    echo "    ctest --preset windows -L faults   # and under Wine"
    echo "    scripts/fuzz.sh --table            # rewrite this file"
    echo

    echo "## Fuzzing"
    echo
    if [ -s "$ledger" ]; then
        awk -F '\t' '
            NR == 1 { for (i = 1; i <= NF; ++i) column[$i] = i; next }
            {
                ++runs; seconds += $column["seconds"]; executions += $column["executions"]
                findings += $column["findings"]; corpus = $column["corpus"]
                for (key in column) if (column[key] > 5) total[key] += $column[key]
            }
            END {
                printf "Total fuzzing time **%.2f h** in %d run%s: **%d executions**, final corpus %d inputs, **%d findings**.\n\n", seconds / 3600, runs, runs == 1 ? "" : "s", executions, corpus, findings
                print "libFuzzer with AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer (clang, `scripts/fuzz.sh`). Every input is written as `tarro.cfg` and goes through the real `load_cfg_file` and `save_cfg_file`; the harness (`tests/fuzz/cfg_fuzz.cpp`) works out the expected lines from the text rules on its own and checks each run."
                print ""
                print "| Input, as the harness classes it | Executions | Outcome checked on every one |"
                print "|---|---:|---|"
                row("any bytes", "runs", "no crash, no leak, no undefined behaviour; `extra_line_count` within 0 to 50; the kept lines exactly those of the text rules")
                row("a 51st extra line", "too_many_lines", "\"load_cfg_file\" / \"Too many lines!\", 50 lines kept, the file untouched")
                row("exactly 50 extra lines", "exactly_fifty", "loads, no message")
                row("a game or video line", "with_own_lines", "the settings, as the next two rows say")
                row("no game or video line that the C library could read differently (none at all included)", "settings_checked", "game mode, video mode and both flags equal to `sscanf(\"%ix%ix%i %i\")` from the same start values")
                row("a game or video line with a run of more than 17 letters and digits, or `0x` without a digit", "not_scannable", "the round trip below only")
                row("loaded without a message", "fixed_points", "save, load, save: same settings (video height and depth only when its width is not 0), same kept lines, the second file byte for byte the first")
                row("a 0x1A byte", "with_1a", "nothing from it on read")
                row("a lone CR", "with_lone_cr", "the rest of its line dropped")
                row("a NUL byte", "with_nul", "the line kept up to it")
                row("a line longer than 254 bytes", "with_long_line", "read in pieces of 254, each a line of its own")
                row("bytes from 0x80", "with_high_byte", "kept unchanged, never a game or video line")
                print ""
                print "| Run ended (UTC) | Seconds | Executions | Corpus | Findings |"
                print "|---|---:|---:|---:|---:|"
                for (i = 1; i <= runs; ++i) print lines[i]
            }
            function row(what, key, outcome) {
                printf "| %s | %d | %s |\n", what, total[key], outcome
            }
            NR > 1 { lines[NR - 1] = sprintf("| %s | %d | %d | %d | %d |", $1, $2, $3, $4, $5) }
        ' "$ledger"
    else
        echo "No recorded run yet (\`scripts/fuzz.sh --record\`)."
    fi
    echo
    echo "The seed corpus, $corpus_files inputs in \`tests/fuzz/corpus\`, is also replayed by ctest"
    echo "with the same checks (\`cfg_fuzz_replay\`): natively with g++ and under Wine, where"
    echo "msvcrt's \`sscanf\` is the reference for the numbers."
    echo

    echo "## Faults"
    echo
    echo "Real faults, each a ctest test (label \`faults\`), natively (g++, AddressSanitizer) and"
    echo "the Win32 build under Wine (msvcrt). Mounts are made by \`tests/faults/in-folder.sh\`;"
    echo "where mounting is refused the test reports itself skipped. Results of $(results_date)."
    echo
    cases | awk -F '\t' '
        {
            if (!($2 in outcome)) order[++count] = $2
            if ($3 != "-") outcome[$2] = $3
            key = $2 SUBSEP $1
            ++cases[key]; seconds[$1] += $5
            if ($4 == "passed") ++passed[key]
            else if (!(key in bad)) bad[key] = $4
        }
        function result(fault, where,    key) {
            key = fault SUBSEP where
            if (!(key in cases)) return "-"
            if (key in bad && !passed[key]) return "**" bad[key] "**"
            if (key in bad) return sprintf("**%d of %d passed (%s)**", passed[key], cases[key], bad[key])
            return sprintf("%d passed", cases[key])
        }
        END {
            print "| Fault | Outcome, checked | Native cases | Wine cases |"
            print "|---|---|---:|---:|"
            for (i = 1; i <= count; ++i) {
                fault = order[i]
                printf "| %s | %s | %s | %s |\n", fault, fault in outcome ? outcome[fault] : "-", result(fault, "native"), result(fault, "Wine")
            }
            printf "\nThe cases take %.2f s natively and %.2f s under Wine, as GoogleTest times them\n", seconds["native"], seconds["Wine"]
            print "(without making the folders or starting Wine)."
        }'
} >"$output"
echo "write-table: wrote $output"
