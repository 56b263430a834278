#!/usr/bin/env bash
# Uses the Orders front end as a person does, under a private X server with
# real keyboard and mouse events: finds the orders of the Smith customers in
# a spring of dates, chooses the third in the grid, types a date that does
# not exist into the order (the message comes and the cursor goes back into
# the box), types a good date and another quantity, saves, closes. Then the
# database must differ from before by exactly that change. Each step leaves
# a screenshot of the whole screen in FOLDER.
#   real_window_test.sh path/to/orders FOLDER
set -euo pipefail

orders_program=$1
folder=$2
x_screen=$(dirname "$0")/x_screen.py

readonly customer_pattern='Smith*'
readonly from_day='3/1/1999' to_day='6/30/1999'
readonly from_iso='1999-03-01' to_iso='1999-06-30'
readonly no_such_day='2/30/1999'
readonly chosen_row=3 # the row of the grid the user picks, counted from 1
readonly wait_limit=30 # seconds for any one thing to show; the sanitizer build is slow

rm -rf "$folder"
mkdir -p "$folder/data" "$folder/runtime"
chmod 700 "$folder/runtime"
db=$folder/data/orders.db
log=$folder/orders.log
step=0

xvfb_pid="" orders_pid=""
stop_all() {
  local pid
  for pid in $orders_pid $xvfb_pid; do
    kill -0 "$pid" 2>/dev/null || continue
    kill -TERM "$pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null || true
  done
  wait 2>/dev/null || true
}
trap stop_all EXIT

fail() {
  echo "FAILED: $*" >&2
  [ -s "$log" ] && { echo "--- what the program wrote:" >&2; cat "$log" >&2; }
  [ -n "$xvfb_pid" ] && python3 -I -S "$x_screen" shot "$folder/failure.png" 2>/dev/null &&
    echo "the screen at the failure: $folder/failure.png" >&2
  exit 1
}

for tool in Xvfb xdotool sqlite3 python3; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/deps.sh installs it)"
done

program_running() { [ -n "$orders_pid" ] && kill -0 "$orders_pid" 2>/dev/null; }

# Polls until the command succeeds; gives up when the program has gone.
wait_for() {
  local what=$1
  shift
  local deadline=$((SECONDS + wait_limit))
  until "$@"; do
    [ -z "$orders_pid" ] || program_running || fail "the program ended while waiting for $what"
    kill -0 "$xvfb_pid" 2>/dev/null || fail "the X server ended while waiting for $what"
    ((SECONDS < deadline)) || fail "$what did not happen within $wait_limit s"
    sleep 0.05
  done
}

# Polls until the program has ended by itself.
wait_for_end() {
  local deadline=$((SECONDS + wait_limit))
  while program_running; do
    ((SECONDS < deadline)) || fail "the program did not end when its last window was closed"
    sleep 0.05
  done
}

# The one visible window with this title.
window_named() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1; }
has_window() { [ -n "$(window_named "$1")" ]; }
has_no_window() { [ -z "$(window_named "$1")" ]; }
has_focus() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]; }

# A click at a point of a window, counted from its top left corner, or from
# its right and bottom edges when negative.
click_at() {
  local window=$1 x=$2 y=$3 WIDTH HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$window" | grep -E '^(WIDTH|HEIGHT)=')"
  ((x >= 0)) || x=$((WIDTH + x))
  ((y >= 0)) || y=$((HEIGHT + y))
  xdotool mousemove --window "$window" "$x" "$y" click 1
}

# The buttons of each form stand in a row at its bottom, the last at the
# right: a point inside that one whatever its caption's width.
click_last_button() { click_at "$1" -40 -22; }

# Keeps the whole screen once it holds still: the program draws what the
# last input did a moment after it came.
shoot() {
  local file
  step=$((step + 1))
  file=$(printf '%s/%02d-%s.png' "$folder" "$step" "$1")
  python3 -I -S "$x_screen" shot "$file" || fail "no screenshot $file"
  echo "screenshot: $file"
}

query() { sqlite3 -batch -noheader -cmd '.timeout 2000' "$@"; }

# Dates as the engine keeps them: days since 30 December 1899.
serial_of() { query ':memory:' "SELECT CAST(julianday('$1') - julianday('1899-12-30') AS INTEGER)"; }
typed_date() { date -u -d "1899-12-30 + $1 days" +%-m/%-d/%Y; }

# --- the X server, on a display it chooses itself. Without -noreset it
# starts afresh whenever its last client leaves, and turns away whoever
# comes in that moment.
exec 3>"$folder/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset >"$folder/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
display_known() { grep -q '^[0-9]*$' "$folder/display" && [ -n "$(cat "$folder/display")" ]; }
wait_for "the X server" display_known
DISPLAY=":$(cat "$folder/display")"
export DISPLAY
x_server_answers() { xdotool getmouselocation >/dev/null 2>&1; }
wait_for "the X server on $DISPLAY to take clients" x_server_answers
echo "X server on $DISPLAY"

# --- the program, on a fresh database, with dates as month/day/year.
# Under the sanitizers two system libraries that only a real display
# brings in are let be: the X keyboard library copies the names of atoms
# with strndup from replies that hold no terminating zero (the copy is
# bounded, but strict string checks take it for an overflow), and the
# message bus library keeps a buffer to the end when no bus answers.
printf 'interceptor_via_lib:libxkbcommon-x11.so\n' >"$folder/address.supp"
printf 'leak:libdbus-1.so\n' >"$folder/leak.supp"
(
  unset WAYLAND_DISPLAY
  export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}suppressions=$folder/address.supp"
  export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$folder/leak.supp"
  export QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8 LANG=C.UTF-8 XDG_RUNTIME_DIR="$folder/runtime" \
    XDG_CONFIG_HOME="$folder/config" XDG_DATA_HOME="$folder/data-home"
  exec "$orders_program" --data "$folder/data"
) >"$log" 2>&1 &
orders_pid=$!

wait_for "the search form" has_window 'Find orders'
search=$(window_named 'Find orders')
wait_for "the keyboard in the search form" has_focus "$search"
[ -f "$db" ] || fail "the program made no database"
query "$db" ".backup '$folder/before.db'"

# --- search: the cursor waits in the customer's name
xdotool type "$customer_pattern"
xdotool key Tab Tab Tab Tab # past the city, the order number and the quantity
xdotool type "$from_day"
xdotool key Tab
xdotool type "$to_day"
shoot search-filled-in
click_last_button "$search" # Find orders
wait_for "the orders found" has_window 'Orders found'
view=$(window_named 'Orders found')
shoot orders-found

# The rows come sorted by date; the one the user is about to pick.
found="SELECT o.OrderId, o.CustomerId, o.OrderDate, o.Qty FROM Orders o JOIN Customers c USING (CustomerId)
       WHERE c.Name LIKE 'Smith%' AND o.OrderDate BETWEEN $(serial_of $from_iso) AND $(serial_of $to_iso)"
found_count=$(query "$folder/before.db" "SELECT count(*) FROM ($found)")
((found_count > chosen_row)) || fail "the sample database has only $found_count such orders"
chosen_date=$(query "$folder/before.db" \
  "SELECT OrderDate FROM ($found) ORDER BY OrderDate LIMIT 1 OFFSET $((chosen_row - 1))")
# Orders of the same day may stand in either order: any of them is that row.
candidates=$(query "$folder/before.db" "SELECT group_concat(OrderId) FROM ($found) WHERE OrderDate = $chosen_date")
# The changes the user types: the next day, and a quantity none of them has.
new_date=$((chosen_date + 1))
new_quantity=$(query "$folder/before.db" "SELECT max(Qty) + 1 FROM Orders WHERE OrderId IN ($candidates)")

# --- a click into the grid gives it the keyboard; then to the first row and down
eval "$(xdotool getwindowgeometry --shell "$view" | grep -E '^HEIGHT=')"
click_at "$view" 200 $((HEIGHT * 3 / 10))
wait_for "the keyboard in the orders found" has_focus "$view"
xdotool key ctrl+Home
for _ in $(seq $((chosen_row - 1))); do xdotool key Down; done
shoot row-chosen

# --- the order opens in the edit form (Alt+E, the button's shortcut)
xdotool key alt+e
wait_for "the edit form" has_window 'Order'
edit=$(window_named 'Order')
wait_for "the keyboard in the edit form" has_focus "$edit"
edit_place=$(xdotool getwindowgeometry --shell "$edit" | awk -F= '$1 ~ /^(X|Y|WIDTH|HEIGHT)$/ { printf "%s ", $2 }')
shoot order-opened

# --- a day that does not exist, and out of the box: the message comes
xdotool key Tab ctrl+a # from the customer's number to the date
xdotool type "$no_such_day"
xdotool key Tab
# A message box bears the program's name as its title.
wait_for "the message about the date" has_window orders
message=$(window_named orders)
wait_for "the keyboard in the message" has_focus "$message"
shoot wrong-date-message
xdotool key Return
wait_for "the message to go" has_no_window orders
wait_for "the keyboard back in the edit form" has_focus "$edit"
shoot back-in-the-date

# --- the cursor is back in the date: a good day, then the quantity
xdotool key ctrl+a
xdotool type "$(typed_date $new_date)"
xdotool key Tab ctrl+a
xdotool type "$new_quantity"
shoot good-date-and-quantity
xdotool key alt+s
changed() {
  [ "$(query "$db" "SELECT count(*) FROM Orders WHERE Qty = $new_quantity AND OrderDate = $new_date
                    AND OrderId IN ($candidates)" 2>/dev/null)" = 1 ]
}
wait_for "the saved order in the database" changed
shoot saved

# --- close: the edit form and the view by their Close buttons, the program
# by its search form's window, as a title bar's close box asks a window
click_last_button "$edit"
wait_for "the edit form to close" has_no_window 'Order'
click_last_button "$view"
wait_for "the view to close" has_no_window 'Orders found'
shoot closed
python3 -I -S "$x_screen" close "$search"
wait_for_end
status=0
wait "$orders_pid" || status=$?
orders_pid=""
((status == 0)) || fail "the program ended with status $status"

# A window closed by its own button keeps its place for the next run.
stored_place=$(awk -F= '{ sub(/\r$/, "") } /^\[/ { section = $0 }
  section == "[frmEdit]" && $1 ~ /^(Left|Top|Width|Height)$/ { printf "%s ", $2 }' "$folder/data/Windows.ini" || true)
[ "$stored_place" = "$edit_place" ] ||
  fail "the edit form stood at $edit_place (left top width height); Windows.ini keeps '$stored_place'"

# --- the database holds exactly the change: one row of Orders, two values
query "$folder/before.db" .dump >"$folder/before.sql"
query "$db" .dump >"$folder/after.sql"
diff "$folder/before.sql" "$folder/after.sql" >"$folder/change.diff" || true
if [ "$(grep -c '^<' "$folder/change.diff")" != 1 ] || [ "$(grep -c '^>' "$folder/change.diff")" != 1 ]; then
  fail "the database changed otherwise than in one row: $(cat "$folder/change.diff")"
fi
order=$(query "$db" "SELECT OrderId FROM Orders WHERE Qty = $new_quantity AND OrderDate = $new_date
                     AND OrderId IN ($candidates)")
# Save stores every text box of the form, and an empty one as a single
# blank: an order without a note gets one.
same_rest=$(query "$db" "ATTACH '$folder/before.db' AS b;
  SELECT count(*) FROM Orders a JOIN b.Orders o USING (OrderId)
  WHERE OrderId = $order AND a.CustomerId = o.CustomerId AND a.Paid IS o.Paid
    AND a.Note IS coalesce(nullif(o.Note, ''), ' ')")
[ "$same_rest" = 1 ] || fail "order $order changed in more than its date and quantity: $(cat "$folder/change.diff")"
old_quantity=$(query "$folder/before.db" "SELECT Qty FROM Orders WHERE OrderId = $order")
grep -Eq 'AddressSanitizer|LeakSanitizer|runtime error' "$log" && fail "the sanitizer reported"
echo "order $order: ordered on $(typed_date "$chosen_date") -> $(typed_date $new_date)," \
  "quantity $old_quantity -> $new_quantity, the empty note stored as one blank; nothing else changed"
echo "$step screenshots in $folder"
