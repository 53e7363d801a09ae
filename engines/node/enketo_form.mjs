// A whole form as Enketo's form engine runs it, as far as the harness needs:
// repeat templates taken out and rows made from them, answers set, then
// calculations (repeated until nothing changes), relevance (inherited from
// ancestors), required and constraints, each rule evaluated from its own node
// with the rewrites of enketo_rewrites.mjs. A rule that throws while the form
// loads stops it from opening, as it does in Enketo. Stored values are the
// evaluator's string results: the model's type conversions are not emulated.
import { childElements, elementPath, findElement, isLeaf, parseXml, pathSteps } from './protocol.mjs';

const RULES = ['calculate', 'relevant', 'required', 'constraint'];

function allBelow(node) {
    return Array.from(node.getElementsByTagName('*'));
}

function descendants(node, localName) {
    return allBelow(node).filter((e) => e.localName === localName);
}

function attribute(element, localName) {
    const found = Array.from(element.attributes).find((a) => a.localName === localName);
    return found && found.value.trim() ? found.value.trim() : null;
}

function readForm(text) {
    const form = parseXml(text, 'XForm');
    const model = descendants(form, 'model')[0];
    if (!model) throw new Error('the form has no model');
    const instances = childElements(model).filter((e) => e.localName === 'instance');
    if (!instances.length || !instances[0].firstElementChild) throw new Error('the form has no instance');
    // Enketo reads the instances without the form's default namespace, so that
    // unprefixed paths match them.
    const serialize = (element) => new XMLSerializer().serializeToString(element)
        .replace(/\sxmlns="[^"]*"/g, '');
    const secondary = {};
    for (const instance of instances.slice(1)) {
        const id = attribute(instance, 'id');
        if (id && instance.firstElementChild) secondary[id] = serialize(instance.firstElementChild);
    }
    const binds = descendants(model, 'bind').map((bind) => ({
        nodeset: attribute(bind, 'nodeset') ?? attribute(bind, 'ref'),
        ...Object.fromEntries(RULES.map((rule) => [rule, attribute(bind, rule)])),
    })).filter((bind) => bind.nodeset);
    const repeats = descendants(form, 'repeat').map((r) => attribute(r, 'nodeset'))
        .filter(Boolean).map((p) => p.replace(/\/+$/, ''));
    return {
        primary: serialize(instances[0].firstElementChild),
        secondary,
        binds,
        repeats,
        positions: !Array.from(model.attributes).some((a) => a.localName === 'xforms-version'),
    };
}

function genericPath(element) {
    return elementPath(element).replace(/\[\d+\]/g, '').replace(/^\/model\/instance/, '');
}

/** Marks where a repeat's rows go once its template is taken out. */
function rowsGoHere(template) {
    return template.ownerDocument.createComment(template.localName);
}

/** Takes the templates out, then gives each repeat the rows asked for (outer repeats first). */
function makeRows(root, repeats, wanted) {
    const templates = new Map();
    const isRepeat = (e) => repeats.includes(genericPath(e));
    for (const element of [root, ...allBelow(root)].filter(isRepeat)) {
        const path = genericPath(element);
        const marked = Array.from(element.attributes).some((a) => a.localName === 'template');
        if (!templates.has(path) || marked) templates.set(path, element.cloneNode(true));
        if (marked) element.replaceWith(rowsGoHere(element));
    }
    for (const template of templates.values()) {
        for (const inner of [template, ...allBelow(template)]) {
            if (inner !== template && isRepeat(inner)) inner.replaceWith(rowsGoHere(inner));
        }
    }
    const keys = Object.keys(wanted ?? {}).sort((a, b) => pathSteps(a).length - pathSteps(b).length);
    for (const key of keys) {
        const steps = pathSteps(key);
        const name = steps[steps.length - 1][0];
        const parentPath = key.slice(0, key.lastIndexOf('/'));
        const parent = findElement(root, parentPath);
        const template = templates.get(key.replace(/\[\d+\]/g, ''));
        if (!template) throw new Error(`${key} is not a repeat of this form`);
        const rows = () => childElements(parent).filter((e) => e.localName === name);
        while (rows().length > wanted[key]) rows().at(-1).remove();
        while (rows().length < wanted[key]) {
            const last = rows().at(-1);
            const row = template.cloneNode(true);
            for (const a of Array.from(row.attributes)) if (a.localName === 'template') row.removeAttributeNode(a);
            const anchor = Array.from(parent.childNodes)
                .find((n) => n.nodeType === 8 && n.data === name);
            if (last) last.after(row);
            else if (anchor) anchor.before(row);
            else parent.appendChild(row);
        }
    }
}

/** The repeats that hold `node`, outermost first, with its row in each. */
function rowsOf(node, repeats) {
    const rows = [];
    for (let e = node; e && e.localName !== 'instance'; e = e.parentNode) {
        const repeat = genericPath(e);
        if (repeats.includes(repeat)) {
            const same = childElements(e.parentNode).filter((s) => s.localName === e.localName);
            rows.unshift({ repeat, position: same.indexOf(e) + 1 });
        }
    }
    return rows;
}

class FormRun {
    constructor(form, engine) {
        this.form = form;
        this.engine = engine;
        this.model = engine.modelDocument(form.primary, form.secondary);
        this.root = engine.primaryRoot(this.model);
        this.errors = new Map();
    }

    nodes(bind) {
        const found = this.engine.evaluate(bind.nodeset, this.root,
            XPathResult.ORDERED_NODE_SNAPSHOT_TYPE, [], false);
        return Array.from({ length: found.snapshotLength }, (_, i) => found.snapshotItem(i));
    }

    run(expression, node, type) {
        return this.engine.evaluate(expression, node, type, rowsOf(node, this.form.repeats),
            this.form.positions);
    }

    /** Calculations, repeated until nothing changes (each pass in bind order). */
    calculate() {
        const binds = this.form.binds.filter((b) => b.calculate);
        for (let pass = 0; pass <= binds.length; ++pass) {
            let changed = false;
            for (const bind of binds) {
                for (const node of this.nodes(bind)) {
                    const value = this.run(bind.calculate, node, XPathResult.STRING_TYPE);
                    if (node.textContent !== value) {
                        node.textContent = value;
                        changed = true;
                    }
                }
            }
            if (!changed) return;
        }
    }

    /** Each node's own relevant rule, and then its ancestors'. */
    relevance() {
        const own = new Map();
        for (const bind of this.form.binds.filter((b) => b.relevant)) {
            for (const node of this.nodes(bind)) {
                own.set(node, this.run(bind.relevant, node, XPathResult.BOOLEAN_TYPE));
            }
        }
        return (node) => {
            for (let e = node; e && e.localName !== 'instance'; e = e.parentNode) {
                if (own.get(e) === false) return false;
            }
            return true;
        };
    }

    /** Required and constraint rules; a rule that throws leaves its node invalid. */
    states(relevant) {
        const states = new Map();
        for (const node of [this.root, ...allBelow(this.root)]) {
            states.set(node, {
                value: isLeaf(node) ? node.textContent : '',
                relevant: relevant(node),
                required: false,
                valid: true,
            });
        }
        for (const bind of this.form.binds) {
            for (const node of this.nodes(bind)) {
                const state = states.get(node);
                try {
                    if (bind.required) state.required = this.run(bind.required, node, XPathResult.BOOLEAN_TYPE);
                    if (bind.constraint && state.value !== '' && state.relevant) {
                        state.valid = this.run(bind.constraint, node, XPathResult.BOOLEAN_TYPE);
                    }
                } catch (error) {
                    state.valid = false;
                    state.error = error.message;
                }
            }
        }
        return states;
    }

    report(relevant) {
        const nodes = {};
        for (const [node, state] of this.states(relevant)) {
            nodes[elementPath(node).replace(/^\/model\/instance(\[1\])?/, '')] = state;
        }
        return nodes;
    }
}

export function runForm(request, engine) {
    let run;
    try {
        run = new FormRun(readForm(request.form), engine);
        makeRows(run.root, run.form.repeats, request.repeats);
        run.calculate();
        run.relevance();
    } catch (error) {
        return { opens: false, error: error.message };
    }
    const reply = { opens: true };
    let relevant = () => true;
    try {
        const answers = Object.entries(request.answers ?? {});
        for (const [path, value] of answers) findElement(run.root, path).textContent = value;
        run.calculate();
        relevant = run.relevance();
    } catch (error) {
        reply.fault = error.message;
    }
    reply.nodes = run.report(relevant);
    return reply;
}


