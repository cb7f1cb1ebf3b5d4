# [InstallScope]: what lint and build refuse in a script installed for the
# current user alone and note in one that lets the person choose; the winget
# manifests of both (one entry per scope, checked against winget's schemas
# by winget/check-manifest.py); Chocolatey, which installs per machine.
check() { python3 "$DATA/../winget/check-manifest.py" "$@"; }
top() { printf '[Project Name]\r\nPer User\r\n[ProgramVersion]\r\n1.2\r\n[UninstallSettings]\r\nPlove\r\n'
         printf '[Install To]\r\n<Program Files>Per User\\\r\n[InstallScope]\r\n%s\r\n' "$1"; }
body() { printf '[CopyFile]\r\napp.txt\r\n<Destination>app.txt\r\n[CopyFile]\r\ntool.txt\r\n<System>tool.txt\r\n'
         printf '[Registry]\r\nHKLM\r\nSoftware\\Per User\r\nSTRING\r\nFolder\r\n<Destination>\r\n'
         printf '[Registry]\r\nHKA\r\nSoftware\\Per User\r\nDWORD\r\nRuns\r\n0\r\n'
         printf '[CreateIcon]\r\n<Destination>app.txt\r\n<Windows>App.lnk\r\n\r\n\r\n'; }
for scope in user either; do
  { top $scope; body; } > $scope.dat
  echo "-- lint, $scope"
  "$PLOVEPACK" lint $scope.dat --files "$DATA/files" 2>&1 | grep -v 'installed by no line'
  echo "status ${PIPESTATUS[0]}"
done
"$PLOVEPACK" build user.dat --files "$DATA/files" --stub "$STUB" -o refused.exe --quiet 2>&1 | tail -n 1
echo "build: status ${PIPESTATUS[0]}"; ls refused.exe 2>&1
{ top usr; printf '[CopyFile]\r\napp.txt\r\n<Destination>app.txt\r\n'; } > typo.dat
"$PLOVEPACK" lint typo.dat --allow-unknown
# The installers: per user, either, and one that says machine in capitals.
{ top ' User '; printf '[CopyFile]\r\napp.txt\r\n<Destination>app.txt\r\n'; } > good-user.dat
{ top either; body; } > good-either.dat
{ top MACHINE; printf '[Registry]\r\nHKA\r\nSoftware\\Per User\r\nDWORD\r\nRuns\r\n0\r\n'; } > good-machine.dat
for scope in user either machine; do
  "$PLOVEPACK" build good-$scope.dat --files "$DATA/files" --stub "$STUB" -o $scope.exe --quiet --no-sign-warning \
    2>/dev/null || exit
done
echo "-- manifests"
for scope in user either machine; do
  "$PLOVEPACK" manifest $scope.exe --id Plove.PerUser --url https://x.example/$scope.exe -o $scope.yaml &&
    check $scope.yaml $scope.exe | grep -v '^product\|^identifier'
done
"$PLOVEPACK" manifest either.exe --id Plove.PerUser --url https://x.example/e.exe --manifest-version 1.6.0 \
  --out-dir tree --license MIT --short-description 'Per-user demo.' >/dev/null &&
  check --tree tree either.exe | grep -c '^silent install'
grep -E '^  - |Scope|Elevation|Custom' user.yaml either.yaml
echo "-- choco"
"$PLOVEPACK" choco either.exe --id per-user --url https://x.example/e.exe --project-url https://x.example/ \
  --short-description 'Per-user demo.' -o choco-either >/dev/null &&
  grep silentArgs choco-either/tools/chocolateyinstall.ps1 &&
  NODE_PATH="$DATA/../../../build/deps-src/npm/node_modules" node "$DATA/../choco/parse-powershell.cjs" \
    choco-either/tools/chocolateyinstall.ps1
"$PLOVEPACK" choco user.exe --id per-user --url https://x.example/u.exe --project-url https://x.example/ \
  --short-description 'Per-user demo.' -o choco-user
