<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>Window</name>
    <message>
        <source>第一步-&gt;文件特征值实验库</source>
        <translation>Step 1 -&gt; Experiment library</translation>
    </message>
    <message>
        <source>第二步-&gt;文件特征值确认库</source>
        <translation>Step 2 -&gt; Confirmed library</translation>
    </message>
    <message>
        <source>第三步-&gt;判断未知文件类型</source>
        <translation>Step 3 -&gt; Identify unknown files</translation>
    </message>
    <message>
        <source>帮助及使用技巧</source>
        <translation>Help and tips</translation>
    </message>
    <message>
        <source>文件特征值-实验库：</source>
        <translation>Signature values - experiment library:</translation>
    </message>
    <message>
        <source>全选部特征值</source>
        <translation>Check all</translation>
    </message>
    <message>
        <source>反选定特征值</source>
        <translation>Invert checks</translation>
    </message>
    <message>
        <source>删除选定特征值</source>
        <translation>Delete checked</translation>
    </message>
    <message>
        <source>清空特征值</source>
        <translation>Clear all</translation>
    </message>
    <message>
        <source>取文件特征值：</source>
        <translation>Take a file's signature value:</translation>
    </message>
    <message>
        <source>打开文件-&gt;取特征值</source>
        <translation>Open file...</translation>
    </message>
    <message>
        <source>文件类型：</source>
        <translation>File class:</translation>
    </message>
    <message>
        <source>文件特征值：</source>
        <translation>Signature value:</translation>
    </message>
    <message>
        <source>存入-&gt;实验库</source>
        <translation>Add to experiments</translation>
    </message>
    <message>
        <source>存入-&gt;确认库</source>
        <translation>Confirm type</translation>
    </message>
    <message>
        <source>文件特征值-确认库：</source>
        <translation>Signature values - confirmed library:</translation>
    </message>
    <message>
        <source>清空文件特征值确认库</source>
        <translation>Clear the library</translation>
    </message>
    <message>
        <source>文件拖放到下面列表框，即可判断文件类型！</source>
        <translation>Drop files on the list below to identify their type!</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>全选</source>
        <translation>Check all</translation>
    </message>
    <message>
        <source>反选</source>
        <translation>Invert checks</translation>
    </message>
    <message>
        <source>清空</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>选定文件改名</source>
        <translation>Rename checked</translation>
    </message>
    <message>
        <source>文件路径：</source>
        <translation>File path:</translation>
    </message>
    <message>
        <source>文件可能类型</source>
        <translation>Probable type</translation>
    </message>
    <message>
        <source>本软件免费使用，可自由复制传播；给文件改名前，请先备份重要文件。</source>
        <translation>Free to use, copy and share. Back up important files before renaming them.</translation>
    </message>
    <message>
        <source>主页</source>
        <translation>Home page</translation>
    </message>
    <message>
        <source>只需三步，快速判断未知文件类型！简单，易用，免费，无广告！绿色软件！</source>
        <translation>Three steps to an unknown file's type: simple, free, no ads, nothing to install.</translation>
    </message>
    <message>
        <source>序列</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>文件类</source>
        <translation>Class</translation>
    </message>
    <message>
        <source>特征值</source>
        <translation>Signature value</translation>
    </message>
    <message>
        <source>文件路径</source>
        <translation>Path</translation>
    </message>
    <message>
        <source>特征值存在！</source>
        <translation>This signature value exists already!</translation>
    </message>
    <message>
        <source>请重输入其他特征值！</source>
        <translation>Please enter another signature value.</translation>
    </message>
    <message>
        <source>有时文件的扩展名被改掉或丢失了（例如磁盘检查在 FOUND.000 中留下的 FILE0001.CHK 碎片）。本软件根据文件开头的字节（文件头）判断它的真实类型，并能把它改回正确的扩展名。</source>
        <translation>When a file's extension was changed or lost (such as the FILE0001.CHK fragments a disk check leaves in FOUND.000), Vexorin tells its real type from its first bytes and can rename it to the right extension.</translation>
    </message>
    <message>
        <source>使用方法，只需三步：</source>
        <translation>How to use it, in three steps:</translation>
    </message>
    <message>
        <source>（1）从文件管理器把已知类型的样本文件拖到第一页的列表（或点“打开文件-&gt;取特征值”，再点“存入-&gt;实验库”）。</source>
        <translation>(1) Drag sample files of known types from the file manager onto the list of page 1 (or use “Open file...”, then “Add to experiments”).</translation>
    </message>
    <message>
        <source>（2）双击实验库中有代表性的一行，点“存入-&gt;确认库”：特征值和文件类型存入确认库（第二页）。</source>
        <translation>(2) Double-click a typical row of the experiment library and click “Confirm type”: its signature value and type go to the confirmed library (page 2).</translation>
    </message>
    <message>
        <source>（3）把未知文件拖到第三页的列表，“文件可能类型”即为结果；勾选后点“选定文件改名”即可改回扩展名。</source>
        <translation>(3) Drag unknown files onto the list of page 3: “Probable type” is the answer; check rows and click “Rename checked” to rename them.</translation>
    </message>
    <message>
        <source>匹配强度：特征值是文件的前10个字节（20个十六进制数字），判断取确认库中相同的最长前缀，相同的数字越多越可靠。少于8个数字为“弱”，有其他类型共用该前缀为“有歧义”。</source>
        <translation>Strength of a match: a signature value is a file's first 10 bytes (20 hex digits); the longest stored prefix it shares names the type, and the more digits match, the surer it is. Under 8 digits a match is “weak”; when other types share the prefix it is “ambiguous”.</translation>
    </message>
    <message>
        <source>10个字节的局限：纯文本文件（.txt、.c、.sh、.ini 等）没有固定文件头；不少格式共用一个文件头（ZIP 与 DOCX、XLSX、JAR、APK，各种 ELF 程序与库）；确认库中没有的文件头得到“未知类型”。</source>
        <translation>Limits of 10 bytes: plain text files (.txt, .c, .sh, .ini, ...) have no fixed header; many formats share one header (ZIP with DOCX, XLSX, JAR and APK; ELF programs and libraries); a header the confirmed library lacks gives “未知类型” (unknown type).</translation>
    </message>
    <message>
        <source>Vexorin V1.0 —— Vexorin 项目发布，2026-12-07</source>
        <translation>Vexorin V1.0 - released by the Vexorin project, 2026-12-07</translation>
    </message>
    <message>
        <source>导入…</source>
        <translation>Import…</translation>
    </message>
    <message>
        <source>导出…</source>
        <translation>Export…</translation>
    </message>
    <message>
        <source>导入常用文件特征值</source>
        <translation>Import the starter set</translation>
    </message>
    <message>
        <source>恢复清空前的确认库…</source>
        <translation>Restore a cleared library…</translation>
    </message>
    <message>
        <source>显示匹配详情…</source>
        <translation>Show match details…</translation>
    </message>
    <message>
        <source>撤销上次改名</source>
        <translation>Undo the last rename</translation>
    </message>
    <message>
        <source>恢复清空前的列表…</source>
        <translation>Restore a cleared list…</translation>
    </message>
    <message>
        <source>恢复…</source>
        <translation>Restore…</translation>
    </message>
    <message>
        <source>导入确认库</source>
        <translation>Import into the confirmed library</translation>
    </message>
    <message>
        <source>导出确认库</source>
        <translation>Export the confirmed library</translation>
    </message>
    <message>
        <source>CSV 或 JSON 文件</source>
        <translation>CSV or JSON files</translation>
    </message>
    <message>
        <source>所有文件</source>
        <translation>All files</translation>
    </message>
    <message>
        <source>CSV 文件</source>
        <translation>CSV files</translation>
    </message>
    <message>
        <source>JSON 文件</source>
        <translation>JSON files</translation>
        <source>确认库中没有匹配的记录</source>
        <translation>No record of the confirmed library matches</translation>
    </message>
    <message>
        <source>确认库已不再给出此类型</source>
        <translation>The confirmed library no longer gives this type</translation>
    </message>
    <message>
        <source>匹配了 %1 位特征值，记录 %2</source>
        <translation>%1 digits matched, record %2</translation>
    </message>
    <message>
        <source>匹配了 %1 位特征值</source>
        <translation>%1 digits matched</translation>
    </message>
    <message>
        <source>正在处理拖放的 %1 个文件……</source>
        <translation>Processing %1 dropped files…</translation>
    </message>
    <message>
        <source>少于 %1 位：匹配较弱</source>
        <translation>Fewer than %1 digits: a weak match</translation>
    </message>
    <message>
        <source>也可能是：</source>
        <translation>It could also be:</translation>
    </message>
    <message>
        <source>%1（记录 %2）</source>
        <translation>%1 (record %2)</translation>
    </message>
    <message>
        <source>%1（样本 %2 个）</source>
        <translation>%1 (samples: %2)</translation>
    </message>
</context>
</TS>
