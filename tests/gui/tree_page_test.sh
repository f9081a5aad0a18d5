# The backup and restore pages' tree for the GUI tests: tree_query PYTHON
# prints what the expression makes of the visible tree's `items` (one JSON
# object a line, with `roots` and `packages` its first two levels and
# under(root) a root's packages); tree_click, tick and select_row click at
# a point, an item's box or its row, and tree_key types a key, each waiting
# until the tree shows the change; action_button clicks the page's large
# button.
# usage: source it after defining `main` (a probe command on the main window)
# and `work`.
tree_query() {
  tree_state > "$work/tree.json"
  python3 -c '
import json, sys
items = [json.loads(l) for l in open(sys.argv[1]) if l.strip()]
roots = [i for i in items if i["level"] == 0]
packages = [i for i in items if i["level"] == 1]
def under(root):
    at = items.index(root)
    out = []
    for i in items[at + 1:]:
        if i["level"] == 0: break
        if i["level"] == 1: out.append(i)
    return out
print(eval(sys.argv[2]))' "$work/tree.json" "$1"
}
tree_state() { main tree --child-class SysTreeView32 --visible; }
tree_changed_from() { [ "$(tree_state)" != "$1" ]; }
tree_click() {  # tree_click X Y: a real click in the visible tree, then until the tree has changed
  local before
  before=$(tree_state)
  main mouse click "$1" "$2" --child-class SysTreeView32 --visible >/dev/null
  wait_until 3 tree_changed_from "$before"
}
tree_key() {  # tree_key KEY: a key typed into the tree, then until the tree has changed
  local before
  before=$(tree_state)
  main key "$1" >/dev/null
  wait_until 3 tree_changed_from "$before"
}
tick() { tree_click $(tree_query "' '.join(map(str, $1['check']))"); }  # tick ITEM-EXPRESSION
select_row() { tree_click $(tree_query "' '.join(map(str, $1['row']))"); }
action_button() {  # the visible page's large button (Back up or Restore), found as a screen reader finds it
  access click Quillary '*' --class MainWindow --child-id 101 --visible --own --role pushbutton >/dev/null
}
