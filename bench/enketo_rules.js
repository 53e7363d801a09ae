// Enketo's evaluator (openrosa-xpath-evaluator under jsdom) on the rules of
// the rule-evaluation row: every rule from its check question in every row,
// as a form engine evaluates a bind's rule per node.
//
// usage: node enketo_rules.js JOB.json
//   JOB: {"instance": path, "rules": [{"kind", "rule", "check"}], "runs": n}
// prints: {"seconds": [per run], "evaluations": per run, "failed": [rules that threw]}
'use strict';

const fs = require('fs');
const { JSDOM } = require('jsdom');

const { window } = new JSDOM('');
// The evaluator expects a browser's globals.
for (const name of ['XPathEvaluator', 'XPathResult', 'Node', 'Element', 'Attr', 'Document',
    'DOMParser', 'XMLSerializer']) {
    global[name] = window[name];
}
global.window = window;
global.document = window.document;
const orxe = require('openrosa-xpath-evaluator');

const RESULT_TYPE = {
    calculate: XPathResult.STRING_TYPE,
    constraint: XPathResult.BOOLEAN_TYPE,
    relevant: XPathResult.BOOLEAN_TYPE,
    required: XPathResult.BOOLEAN_TYPE,
};

function main() {
    const job = JSON.parse(fs.readFileSync(process.argv[2], 'utf8'));
    const text = fs.readFileSync(job.instance, 'utf8');
    const doc = new DOMParser().parseFromString(text, 'text/xml');
    const rows = Array.from(doc.documentElement.children).filter((e) => e.localName === 'row');
    const evaluator = orxe();
    const failed = new Set();
    const contexts = job.rules.map((r) =>
        rows.map((row) => Array.from(row.children).find((e) => e.localName === r.check)));
    const seconds = [];
    let evaluations = 0;
    for (let run = 0; run < job.runs; ++run) {
        evaluations = 0;
        const start = process.hrtime.bigint();
        job.rules.forEach((r, k) => {
            const type = RESULT_TYPE[r.kind];
            for (const node of contexts[k]) {
                try {
                    evaluator.evaluate(r.rule, node, null, type, null);
                } catch (e) {
                    failed.add(r.rule);
                }
                ++evaluations;
            }
        });
        seconds.push(Number(process.hrtime.bigint() - start) / 1e9);
    }
    process.stdout.write(JSON.stringify({ seconds, evaluations, failed: [...failed] }) + '\n');
}

main();
