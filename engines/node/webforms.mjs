// ODK Web Forms behind the harness's JSON-lines protocol: @getodk/xpath for
// one expression, @getodk/xforms-engine for a whole form.
//
//   {"op": "eval", "expression", "instance", "context"?, "secondary"?: {id: xml}}
//     -> {"value"} or {"error"}
//   {"op": "form", "form", "answers"?: {path: value}, "repeats"?: {path: rows}}
//     -> {"opens": false, "error"} or {"opens": true, "nodes": {path: state}, "fault"?}
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import {
    browserGlobals, describe, elementPath, findElement, isLeaf, parseXml, pathKey,
    requireInstalled, serve,
} from './protocol.mjs';

browserGlobals();

// Both bundles read __dirname while they start, which an ES module lacks.
async function importBundle(name) {
    const entry = requireInstalled.resolve(name);
    globalThis.__dirname = path.dirname(entry);
    try {
        return await import(pathToFileURL(entry));
    } finally {
        delete globalThis.__dirname;
    }
}

const xpath = await importBundle('@getodk/xpath');
const engine = await importBundle('@getodk/xforms-engine');

function evaluateRequest(request) {
    const primary = parseXml(request.instance, 'instance');
    const secondary = new Map(Object.entries(request.secondary ?? {}).map(([id, xml]) => {
        const wrapper = parseXml(`<instance id="${id}">${xml.replace(/^\s*<\?xml[^>]*\?>/, '')}</instance>`,
            `instance ${id}`);
        return [id, wrapper.documentElement];
    }));
    const evaluator = new xpath.XFormsXPathEvaluator({
        domAdapter: xpath.DEFAULT_DOM_ADAPTER,
        rootNode: primary,
        itextTranslationsByLanguage: new Map(),
        secondaryInstancesById: secondary,
    });
    const root = primary.documentElement;
    const contextNode = request.context ? findElement(root, request.context) : root;
    return { value: evaluator.evaluateString(request.expression, { contextNode }) };
}

/** Every node of the form's tree by its path key; repeat ranges stand for no element. */
function nodesByKey(root) {
    const found = new Map();
    const visit = (node) => {
        if (!node.nodeType.startsWith('repeat-range')) found.set(pathKey(node.currentState.reference), node);
        for (const child of node.currentState.children ?? []) visit(child);
    };
    visit(root);
    return found;
}

/** Adds rows until each repeat has the rows asked for, outer repeats first. */
function addRows(root, repeats) {
    const keys = Object.keys(repeats ?? {}).sort((a, b) => a.split('/').length - b.split('/').length);
    for (const key of keys) {
        const range = findRange(root, pathKey(key));
        if (!range) throw new Error(`${key} is not a repeat of this form`);
        const have = range.currentState.children.length;
        if (have < repeats[key]) range.addInstances(have - 1, repeats[key] - have);
        if (have > repeats[key]) range.removeInstances(repeats[key], have - repeats[key]);
    }
}

function findRange(node, key) {
    if (node.nodeType.startsWith('repeat-range') && pathKey(node.currentState.reference) === key) {
        return node;
    }
    for (const child of node.currentState.children ?? []) {
        const range = findRange(child, key);
        if (range) return range;
    }
    return null;
}

function answer(nodes, target, value) {
    const node = nodes.get(pathKey(target));
    if (!node) throw new Error(`no node at ${target}`);
    if (typeof node.selectValue === 'function') node.selectValue(value || null);
    else if (typeof node.selectValues === 'function') node.selectValues(value.split(/\s+/).filter(Boolean));
    else if (typeof node.setValue === 'function') node.setValue(value);
    else throw new Error(`${target} takes no answer (${node.nodeType})`);
}

/** Each node's state, its value as the instance would be submitted. */
function report(root) {
    const values = new Map();
    try {
        const submitted = parseXml(root.instanceState.instanceXML, 'instance').documentElement;
        for (const element of [submitted, ...submitted.getElementsByTagName('*')]) {
            values.set(pathKey(elementPath(element)), isLeaf(element) ? element.textContent : '');
        }
    } catch {
        // An instance it cannot write back (an undeclared prefix): the node values serve.
    }
    const states = {};
    const visit = (node, parentPath, index) => {
        const reference = node.currentState.reference;
        const name = reference.slice(reference.lastIndexOf('/') + 1).replace(/\[\d+\]$/, '');
        const children = node.currentState.children ?? [];
        if (node.nodeType.startsWith('repeat-range')) {
            children.forEach((row, k) => visit(row, parentPath, children.length > 1 ? k + 1 : 0));
            return;
        }
        const where = `${parentPath}/${name}${index ? `[${index}]` : ''}`;
        const validation = node.validationState;
        const value = values.get(pathKey(where));
        states[where] = {
            value: value ?? (children.length ? '' : String(node.currentState.value ?? '')),
            relevant: node.currentState.relevant,
            required: node.currentState.required,
            valid: !(validation && validation.constraint && validation.constraint.valid === false),
        };
        for (const child of children) visit(child, where, 0);
    };
    visit(root, '', 0);
    return states;
}

async function runForm(request) {
    let instance;
    try {
        instance = await engine.createInstance(request.form, {});
    } catch (error) {
        return { opens: false, error: describe(error) };
    }
    const reply = { opens: true };
    try {
        addRows(instance.root, request.repeats);
        const nodes = nodesByKey(instance.root);
        for (const [target, value] of Object.entries(request.answers ?? {})) answer(nodes, target, value);
    } catch (error) {
        reply.fault = describe(error);
    }
    reply.nodes = report(instance.root);
    return reply;
}

serve((request) => {
    if (request.op === 'eval') return evaluateRequest(request);
    if (request.op === 'form') return runForm(request);
    throw new Error(`unknown op "${request.op}"`);
});

