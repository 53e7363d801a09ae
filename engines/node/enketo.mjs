// Enketo behind the harness's JSON-lines protocol: openrosa-xpath-evaluator,
// Enketo's evaluator, run as Enketo's form engine runs it (see
// enketo_rewrites.mjs for the rewrites it applies first, and enketo_form.mjs
// for the form).
//
//   {"op": "eval", "expression", "instance", "context"?, "secondary"?: {id: xml}}
//     -> {"value"} or {"error"}
//   {"op": "form", "form", "answers"?: {path: value}, "repeats"?: {path: rows}}
//     -> {"opens": false, "error"} or {"opens": true, "nodes": {path: state}, "fault"?}
import { browserGlobals, elementPath, findElement, parseXml, requireInstalled, serve } from './protocol.mjs';
import { rewrite } from './enketo_rewrites.mjs';
import { runForm } from './enketo_form.mjs';

browserGlobals();
// A browser's XPath is case-sensitive in XML documents, and jsdom's is not;
// the xpath package behaves like a browser's. Like a browser, its compiled
// expressions take ANY_TYPE when no result type is given.
const xpath = requireInstalled('xpath');
globalThis.XPathResult = xpath.XPathResult;
globalThis.XPathEvaluator = class {
    evaluate(expression, node, resolver, type, result) {
        return xpath.evaluate(expression, node, resolver, type, result);
    }

    createExpression(expression, resolver) {
        const compiled = xpath.createExpression(expression, resolver);
        return { evaluate: (node, type = 0, result = null) => compiled.evaluate(node, type, result) };
    }
};
const evaluator = requireInstalled('openrosa-xpath-evaluator')();

/** One <model> document holding the primary instance first, then the others. */
export function modelDocument(primary, secondary) {
    const strip = (xml) => xml.replace(/^\s*<\?xml[^>]*\?>/, '');
    const others = Object.entries(secondary ?? {})
        .map(([id, xml]) => `<instance id="${id}">${strip(xml)}</instance>`).join('');
    return parseXml(`<model><instance>${strip(primary)}</instance>${others}</model>`, 'instance');
}

export function primaryRoot(model) {
    return model.documentElement.firstElementChild.firstElementChild;
}

/** Evaluates as Enketo's form engine does for a rule of the node `context`. */
export function evaluate(expression, contextNode, type, rows, positions) {
    const context = {
        path: elementPath(contextNode).replace(/^\/model\/instance(\[1\])?/, ''),
        rows,
        positions,
        evaluate: (inner) => evaluator.evaluate(inner, contextNode, null,
            XPathResult.STRING_TYPE, null).stringValue,
    };
    const result = evaluator.evaluate(rewrite(expression, context), contextNode, null, type, null);
    if (type === XPathResult.BOOLEAN_TYPE) return result.booleanValue;
    if (type === XPathResult.STRING_TYPE) return result.stringValue;
    return result;
}

function evaluateRequest(request) {
    const model = modelDocument(request.instance, request.secondary);
    const root = primaryRoot(model);
    const node = request.context ? findElement(root, request.context) : root;
    return { value: evaluate(request.expression, node, XPathResult.STRING_TYPE, [], false) };
}

serve((request) => {
    if (request.op === 'eval') return evaluateRequest(request);
    if (request.op === 'form') return runForm(request, { modelDocument, primaryRoot, evaluate });
    throw new Error(`unknown op "${request.op}"`);
});
