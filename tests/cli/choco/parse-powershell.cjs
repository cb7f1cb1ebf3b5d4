// parse-powershell.cjs FILE...: parses each PowerShell script with
// tree-sitter's PowerShell grammar and prints "NAME: parsed" or the rows
// and columns of what the grammar could not read; exit status 1 then.
// The grammar and its WebAssembly runtime come from npm (scripts/setup.sh
// puts them in build/deps-src/npm; NODE_PATH names that folder).
const fs = require('fs');
const path = require('path');
const { Parser, Language } = require('web-tree-sitter');

(async () => {
  await Parser.init();
  const grammar = require.resolve('tree-sitter-powershell/tree-sitter-powershell.wasm');
  const parser = new Parser();
  parser.setLanguage(await Language.load(grammar));
  let failed = false;
  for (const file of process.argv.slice(2)) {
    // Windows PowerShell reads the byte-order mark; the grammar does not.
    const text = fs.readFileSync(file, 'utf8').replace(/^\uFEFF/, '');
    const faults = [];
    const walk = (node) => {
      if (node.isError || node.isMissing) {
        faults.push(`${node.startPosition.row + 1}:${node.startPosition.column + 1} ` +
                    (node.isMissing ? `missing ${node.type}` : 'cannot parse'));
      }
      for (const child of node.children) walk(child);
    };
    walk(parser.parse(text).rootNode);
    console.log(`${path.basename(file)}: ${faults.length ? faults.join(', ') : 'parsed'}`);
    failed = failed || faults.length > 0;
  }
  process.exit(failed ? 1 : 0);
})().catch((error) => {
  console.log(`parse-powershell: ${error.message}`);
  process.exit(2);
});
