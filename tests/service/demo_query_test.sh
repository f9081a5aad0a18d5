#!/usr/bin/env bash
# quillary-cli query against the sample catalogue, end to end: the demo PC
# natively (from its fixture) and under Wine (injected into the device tree
# and scanned through SetupAPI). Natively every served device gets its
# offers and the decisions the catalogue expects. Wine cannot report driver
# ranks (SetupDiGetDriverInstallParamsW is not implemented there), so the
# Wine result is compared with the native query of the raw scan Wine itself
# gave: they must be the same.
#
# The current systems (Windows 8.1, 10, 11, Windows 11 on ARM64) are asked
# for natively as well: each must get the offers catalogue.json lists for it.
#
# The same query also goes through the deployment of scripts/serve-catalogue
# (nginx in front of two services): over HTTP and over HTTPS with its
# self-signed certificate (natively trusted through --ca; under Wine taken
# by Schannel as it is). It must give the same offers, with the links
# pointing at nginx.
#
# usage: demo_query_test.sh NATIVE_BIN [WINDOWS_BIN]
set -uo pipefail
native=$(cd "$1" && pwd)
windows=${2:+$(cd "$2" && pwd)}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=$(mktemp -d)
service=
deployment=
cleanup() {
  [ -n "$service" ] && kill "$service" 2>/dev/null && wait "$service" 2>/dev/null
  [ -n "$deployment" ] && kill "$deployment" 2>/dev/null && wait "$deployment" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

"$root/scripts/make-sample-catalogue" "$work/catalogue" >/dev/null || exit 1
"$root/scripts/make-device-fixture" demo "$work/catalogue/catalogue.json" > "$work/demo-pc.json" || exit 1
"$native/quillary-service" --catalogue "$work/catalogue" --listen 127.0.0.1:0 --quiet > "$work/service.out" &
service=$!
for _ in $(seq 100); do grep -q listening "$work/service.out" && break; sleep 0.1; done
url=$(sed -n 's/.*listening on \(http[^ ]*\).*/\1/p' "$work/service.out" | head -n 1)
[ -n "$url" ] || { echo "demo_query_test: the service did not start"; exit 1; }

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
chmod -R a+rX "$work"  # nginx's workers may run as another user
http_port=$(free_port)
https_port=$(free_port)
"$root/scripts/serve-catalogue" "$work/catalogue" --listen "127.0.0.1:$http_port" \
  --tls-listen "127.0.0.1:$https_port" --state "$work/deployment" --service "$native/quillary-service" \
  --foreground > "$work/deployment.out" 2>&1 &
deployment=$!
for _ in $(seq 100); do grep -q "queries and packages" "$work/deployment.out" && break; sleep 0.1; done
grep -q "queries and packages" "$work/deployment.out" || { echo "demo_query_test: serve-catalogue did not start"; cat "$work/deployment.out"; exit 1; }

as_windows_7=(--os WIN764 --os-version 61 --oem-code-page 437 --model Wine)
"$native/quillary-cli" query --devices "$work/demo-pc.json" --server "$url" --installed "$work/none" \
  "${as_windows_7[@]}" > "$work/native.json" || exit 1
for system in WIN8164:63:9600 WIN1064:100:19045 WIN1164:100:22631 WIN11ARM64:100:26100; do
  IFS=: read -r name version build <<<"$system"
  "$native/quillary-cli" query --devices "$work/demo-pc.json" --server "$url" --installed "$work/none" \
    --os "$name" --os-version "$version" --os-build "$build" --oem-code-page 437 > "$work/native-$name.json" || exit 1
done
"$native/quillary-cli" query --devices "$work/demo-pc.json" --server "http://127.0.0.1:$http_port/" \
  --installed "$work/none" "${as_windows_7[@]}" > "$work/deployed-http.json" || exit 1
"$native/quillary-cli" query --devices "$work/demo-pc.json" --server "https://127.0.0.1:$https_port/" \
  --ca "$work/deployment/tls/cert.pem" --installed "$work/none" "${as_windows_7[@]}" > "$work/deployed-https.json" || exit 1
if [ -n "$windows" ]; then
  wine_run="$root/scripts/wine-run"
  "$wine_run" "$windows/inject_devices.exe" "$("$wine_run" winepath -w "$work/demo-pc.json" 2>/dev/null)" >/dev/null || exit 1
  "$wine_run" "$windows/quillary-cli.exe" scan --raw > "$work/wine-raw.json" || exit 1
  "$wine_run" "$windows/quillary-cli.exe" query --server "$url" --installed 'C:\none' > "$work/wine.json" || exit 1
  "$native/quillary-cli" query --devices "$work/wine-raw.json" --server "$url" --installed "$work/none" \
    "${as_windows_7[@]}" > "$work/replayed.json" || exit 1
  # Through nginx over HTTPS, Schannel taking the self-signed certificate.
  "$wine_run" "$windows/quillary-cli.exe" query --server "https://127.0.0.1:$https_port/" --installed 'C:\none' \
    > "$work/wine-deployed.json" || exit 1
fi
echo "https://127.0.0.1:$https_port/packages/" > "$work/deployed-base"

python3 - "$work" "${windows:+wine}" <<'PY'
import json, os, sys
work, wine = sys.argv[1], len(sys.argv) > 2 and sys.argv[2] == "wine"
load = lambda name: json.load(open(os.path.join(work, name)))
failures = []
def check(what, ok):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)

catalogue = load("catalogue/catalogue.json")["demo_pc"]["devices"]
native = {d["device_id"]: d for d in load("native.json")["devices"]}
for served in catalogue:
    got = native.get(served["device_id"])
    expected = served["expected_offers_win764"]
    check(f"{served['key']}: {len(expected)} offers, best first as the catalogue expects",
          got is not None and [i["link"].rsplit("/", 1)[-1] for i in got["items"]] == [e["package"] for e in expected]
          and got["best"] == 0)
audio = native.get(next(d["device_id"] for d in catalogue if d["key"] == "audio"), {})
check("the audio device already runs the best driver: up to date", audio.get("best_is_update") is False)
card = native.get(next(d["device_id"] for d in catalogue if d["key"] == "card_reader"), {})
check("the card reader has no driver: out of date under both choices",
      card.get("best_is_update") is True and card.get("latest_is_update") is True)
others = [d for d in native.values() if d["device_id"] not in {c["device_id"] for c in catalogue}]
check("devices the catalogue does not serve get no offers", all(not d["items"] for d in others))
for system in ("WIN8164", "WIN1064", "WIN1164", "WIN11ARM64"):
    got = {d["device_id"]: [i["link"].rsplit("/", 1)[-1] for i in d["items"]] for d in load(f"native-{system}.json")["devices"]}
    check(f"{system}: every device gets the offers the catalogue lists for it, best first",
          all(got.get(d["device_id"], []) == [e["package"] for e in d["expected_offers"][system]] for d in catalogue))
rows = load("native.json")["packages"]
check("package rows: updates first, the display adapter's on top",
      rows and "veltrix" in rows[0]["link"] and [r["not_needed"] for r in rows] == sorted(r["not_needed"] for r in rows))
direct_base = next(i["link"] for d in native.values() for i in d["items"]).rsplit("/", 1)[0] + "/"
deployed_base = open(os.path.join(work, "deployed-base")).read().strip()
def through_nginx(result):
    """The query result with the links the direct service would give."""
    text = json.dumps(result)
    return json.loads(text.replace(deployed_base, direct_base)), deployed_base in text
for name in ("deployed-http.json", "deployed-https.json"):
    deployed, links_to_nginx = through_nginx(load(name))
    check(f"{name}: links point at nginx", links_to_nginx)
    check(f"{name}: the same offers, digests and decisions as the service alone", deployed == load("native.json"))
check("every offer names its package's SHA-256",
      all(len(i["sha256"]) == 64 for d in native.values() for i in d["items"]))
if wine:
    wine_result, replayed = load("wine.json"), load("replayed.json")
    check("under Wine, through nginx over HTTPS, the same result as directly",
          through_nginx(load("wine-deployed.json"))[0] == wine_result)
    check("under Wine the same devices get the same offers and decisions as the replayed raw scan",
          wine_result == replayed)
    served_ids = {c["device_id"] for c in catalogue}
    check("under Wine every served device gets offers",
          all(d["items"] for d in wine_result["devices"] if d["device_id"] in served_ids))
sys.exit(1 if failures else 0)
PY
