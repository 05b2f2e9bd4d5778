#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer, and
# runs each for a given time on a corpus seeded from the shared test data.
#
#   scripts/fuzz.sh [--seconds N] [--build-dir DIR] [--build-only | --no-build] [TARGET...]
#
# Without TARGETs every target in fuzz/CMakeLists.txt runs, one after the other. DIR defaults to
# build/fuzz-clang. Seeds come from the shared test data and from each target's seed script in
# fuzz/seeds (given the seed folder and the test data folder). Inputs found worth keeping stay in
# DIR/corpus/TARGET for the next run; an input that crashes or breaks an invariant is saved in
# DIR/artifacts and the script ends non-zero. QUILLMERE_FUZZ_JOBS sets the build's parallel jobs
# (default 2).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/fuzz-clang"
seconds=60
mode=all
targets=()
while [ $# -gt 0 ]; do
    case "$1" in
    --seconds) seconds="$2"; shift 2 ;;
    --build-dir) build="$2"; shift 2 ;;
    --build-only) mode=build; shift ;;
    --no-build) mode=run; shift ;;
    -h | --help) sed -n '2,12p' "$0"; exit 0 ;;
    -*) echo "fuzz: unknown option $1" >&2; exit 2 ;;
    *) targets+=("$1"); shift ;;
    esac
done
testdata="${QUILLMERE_TESTDATA_DIR:-$root/../shared/testdata}"

if [ "$mode" != run ]; then
    cc="$(command -v clang-14 || command -v clang || true)"
    cxx="$(command -v clang++-14 || command -v clang++ || true)"
    if [ -z "$cc" ] || [ -z "$cxx" ]; then
        echo "fuzz: clang is not installed (scripts/packages.txt lists clang-14 and libclang-rt-14-dev)" >&2
        exit 1
    fi
    launcher=()
    if command -v ccache > /dev/null; then
        launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    fi
    if [ ! -f "$build/CMakeCache.txt" ]; then
        mkdir -p "$build"
        cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" "${launcher[@]}" \
            -DQUILLMERE_FUZZ=ON -DQUILLMERE_TESTDATA_DIR="$testdata" > "$build/configure.log" 2>&1 ||
            { cat "$build/configure.log" >&2; exit 1; }
    fi
    cmake --build "$build" --target fuzz_targets --parallel "${QUILLMERE_FUZZ_JOBS:-2}"
fi
[ "$mode" = build ] && exit 0

manifest="$build/fuzz-targets.txt"
[ -f "$manifest" ] || { echo "fuzz: $manifest missing: build first" >&2; exit 1; }

# Copies `file` into `dir` whole when it is at most `max` bytes, otherwise as slices of `max`
# bytes: its start, its end and a few evenly spaced in between.
seed_from() {
    local file="$1" dir="$2" max="$3" size base slices i offset
    size="$(stat -c %s "$file")"
    base="$(basename "$file")"
    if [ "$size" -le "$max" ]; then
        cp "$file" "$dir/$base"
        return
    fi
    slices=12
    for ((i = 0; i < slices; i++)); do
        offset=$(((size - max) * i / (slices - 1)))
        dd if="$file" of="$dir/$base.$i" bs=1M iflag=skip_bytes,count_bytes skip="$offset" count="$max" status=none
    done
}

status=0
summary=()
while read -r name max_len script dict seeds; do
    [ -n "$name" ] || continue
    if [ ${#targets[@]} -gt 0 ] && [[ ! " ${targets[*]} " =~ " $name " ]]; then
        continue
    fi
    program="$build/bin/$name"
    [ -x "$program" ] || { echo "fuzz: $program not built" >&2; status=1; continue; }
    corpus="$build/corpus/$name"
    seed_dir="$build/seeds/$name"
    mkdir -p "$corpus" "$seed_dir" "$build/artifacts" "$build/logs"
    # Seeds are made once, and again when the target's seed script has changed since.
    stamp="$build/seeds/$name.stamp"
    generator=""
    [ "$script" != - ] && generator="$root/fuzz/$script"
    if [ -n "$generator" ] && [ -f "$stamp" ] && [ "$generator" -nt "$stamp" ]; then
        rm -rf "$seed_dir" "$stamp"
        mkdir -p "$seed_dir"
    fi
    if [ ! -f "$stamp" ] || [ -z "$(ls -A "$seed_dir")" ]; then
        if [ -n "$generator" ]; then
            bash "$generator" "$seed_dir" "$testdata" < /dev/null || { echo "fuzz: $generator failed" >&2; status=1; continue; }
        fi
        for folder in $seeds; do
            if [ -d "$testdata/$folder" ]; then
                for file in "$testdata/$folder"/*; do
                    [ -f "$file" ] && [[ "$file" != *.md ]] && seed_from "$file" "$seed_dir" "$max_len"
                done
            else
                echo "fuzz: no seeds from $testdata/$folder (not found)" >&2
            fi
        done
        touch "$stamp"
    fi
    dict_option=()
    [ "$dict" != - ] && dict_option=(-dict="$root/fuzz/$dict")
    log="$build/logs/$name.log"
    echo "fuzz: $name for ${seconds}s (corpus $corpus, $(ls "$seed_dir" | wc -l) seeds)"
    set +e
    "$program" -max_total_time="$seconds" -max_len="$max_len" -timeout=30 -rss_limit_mb=2048 "${dict_option[@]}" \
        -print_final_stats=1 -artifact_prefix="$build/artifacts/$name-" "$corpus" "$seed_dir" < /dev/null > "$log" 2>&1
    code=$?
    set -e
    runs="$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | awk '{print $2}' | tail -1 || true)"
    done_line="$(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -1 | sed -E 's/^#[0-9]+[[:space:]]+DONE[[:space:]]+//' || true)"
    if [ "$code" -ne 0 ]; then
        status=1
        echo "fuzz: $name FAILED (exit $code); last lines of $log:" >&2
        tail -n 40 "$log" >&2
        summary+=("$name: FAILED after ${runs:-?} runs, see $log and $build/artifacts")
    else
        summary+=("$name: ${runs:-?} runs in ${seconds}s, clean; ${done_line:-}")
    fi
done < "$manifest"

printf '%s\n' "${summary[@]}"
exit "$status"
